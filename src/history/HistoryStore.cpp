#include "history/HistoryStore.h"

#include "history/HistoryTime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace corvane {

using HistoryTime::timeOf;
using HistoryTime::timeText;

namespace {

const QString kRunning = QStringLiteral("running");
const QString kComplete = QStringLiteral("complete");
const QString kStopped = QStringLiteral("stopped");

// The schema, one step per version: a file of version n runs the steps after n.
const QList<QStringList>& schemaSteps()
{
    static const QList<QStringList> steps = {
        // 1: scans, partners with their running record, one check per partner per scan.
        {QStringLiteral("CREATE TABLE scans(id INTEGER PRIMARY KEY, started TEXT NOT NULL, "
                        "finished TEXT, state TEXT NOT NULL, version TEXT NOT NULL)"),
         QStringLiteral("CREATE TABLE partners(id INTEGER PRIMARY KEY, main TEXT NOT NULL, "
                        "url TEXT NOT NULL, record TEXT NOT NULL, UNIQUE(main, url))"),
         QStringLiteral("CREATE TABLE checks(partner INTEGER NOT NULL REFERENCES partners(id), "
                        "scan INTEGER NOT NULL REFERENCES scans(id), checked INTEGER NOT NULL, "
                        "outcome INTEGER NOT NULL, status TEXT NOT NULL, found_on TEXT NOT NULL, "
                        "links INTEGER NOT NULL, missing INTEGER NOT NULL, notes TEXT NOT NULL, "
                        "change INTEGER NOT NULL, detail TEXT NOT NULL, PRIMARY KEY(partner, scan)) "
                        "WITHOUT ROWID"),
         QStringLiteral("CREATE INDEX checks_by_scan ON checks(scan)")},
        // 2: every name a partner had finds it, so a renamed Linking Site keeps its history.
        {QStringLiteral("CREATE TABLE names(main TEXT NOT NULL, url TEXT NOT NULL, "
                        "partner INTEGER NOT NULL REFERENCES partners(id), PRIMARY KEY(main, url)) "
                        "WITHOUT ROWID"),
         QStringLiteral("INSERT INTO names(main, url, partner) SELECT main, url, id FROM partners")},
    };
    return steps;
}

// Qt binds a null text as NULL; the columns hold empty texts instead.
QString notNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

HistoryStore::HistoryStore()
    : m_connection(QStringLiteral("history-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

HistoryStore::~HistoryStore()
{
    close();
}

QString HistoryStore::pathFor(const QString& projectPath)
{
    QString base = projectPath;
    if (base.endsWith(QStringLiteral(".prj"), Qt::CaseInsensitive))
        base.chop(4);
    return base + QStringLiteral(".history.db");
}

QString HistoryStore::partnerKey(const QString& url)
{
    QString key = url.trimmed();
    for (const QString& scheme : {QStringLiteral("http://"), QStringLiteral("https://")}) {
        if (key.startsWith(scheme, Qt::CaseInsensitive))
            key.remove(0, scheme.size());
    }
    while (key.endsWith(u'/'))
        key.chop(1);
    return key;
}

bool HistoryStore::fail(const QString& what, const QString& detail)
{
    m_error = what + (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    return false;
}

bool HistoryStore::exec(const QString& sql)
{
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        return fail(QStringLiteral("cannot change the history"), q.lastError().text());
    return true;
}

void HistoryStore::close()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_path.clear();
    m_readOnly = false;
    m_notice.clear();
    m_savepoints = 0;
}

int HistoryStore::schemaVersion() const
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return -1;
    return q.value(0).toInt();
}

bool HistoryStore::openInMemory()
{
    close();
    m_error.clear();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(QStringLiteral(":memory:"));
    if (!m_db.open())
        return fail(QStringLiteral("cannot keep a history in memory"), m_db.lastError().text());
    return migrate(0);
}

bool HistoryStore::open(const QString& path, Mode mode)
{
    close();
    m_error.clear();
    const QString shown = QDir::toNativeSeparators(path);
    if (mode == Mode::Read && !QFileInfo::exists(path))
        return fail(QStringLiteral("no history at \"") + shown + u'"', {});
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(path);
    m_readOnly = mode == Mode::Read;
    if (m_readOnly)
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!m_db.open()) {
        const QString detail = m_db.lastError().text();
        close();
        return fail(QStringLiteral("cannot open the history \"") + shown + u'"', detail);
    }
    m_path = path;
    const int version = schemaVersion();
    if (version < 0) {
        const QString detail = m_db.lastError().text();
        close();
        return fail(QStringLiteral("\"") + shown + QStringLiteral("\" is not a history file"),
                    detail);
    }
    if (version > kSchemaVersion) {
        // A newer program's file is shown but never changed: its rows may mean more than ours.
        if (!m_readOnly) {
            m_db.close();
            m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            m_db.open();
            m_readOnly = true;
        }
        m_notice = QStringLiteral("\"") + shown
                   + QStringLiteral("\" was written by a newer version of the program (history "
                                    "format ")
                   + QString::number(version) + QStringLiteral("; this one knows up to ")
                   + QString::number(kSchemaVersion)
                   + QStringLiteral("): it is read but not changed");
        return true;
    }
    if (m_readOnly)
        return true;
    QSqlQuery q(m_db);
    // WAL: a killed writer leaves the file readable, and readers never wait for the writer.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()) {
        const QString detail = q.lastError().text();
        close();
        return fail(QStringLiteral("cannot write the history \"") + shown + u'"', detail);
    }
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    if (!migrate(version)) {
        const QString error = m_error;
        close();
        m_error = error;
        return false;
    }
    // Whoever opens for writing holds the project's lock: a scan still "running" was killed.
    if (!exec(QStringLiteral("UPDATE scans SET state = 'stopped' WHERE state = 'running'"))) {
        const QString error = m_error;
        close();
        m_error = QStringLiteral("cannot write the history \"") + shown + QStringLiteral("\": ")
                  + error;
        return false;
    }
    return true;
}

bool HistoryStore::migrate(int from)
{
    const QList<QStringList>& steps = schemaSteps();
    if (from >= int(steps.size()))
        return true;
    if (!m_db.transaction())
        return fail(QStringLiteral("cannot write the history"), m_db.lastError().text());
    for (int step = from; step < int(steps.size()); ++step) {
        for (const QString& sql : steps.at(step)) {
            if (!exec(sql)) {
                m_db.rollback();
                return false;
            }
        }
    }
    if (!exec(QStringLiteral("PRAGMA user_version = ") + QString::number(steps.size()))
        || !m_db.commit()) {
        m_db.rollback();
        return fail(QStringLiteral("cannot write the history"), m_db.lastError().text());
    }
    return true;
}

bool HistoryStore::remove(const QString& path)
{
    bool gone = true;
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(path + suffix) && !QFile::remove(path + suffix))
            gone = false;
    }
    return gone;
}

bool HistoryStore::saveTo(const QString& path)
{
    if (!isOpen())
        return fail(QStringLiteral("no history is open"), {});
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo(path).absoluteFilePath() == QFileInfo(m_path).absoluteFilePath() && !m_path.isEmpty())
        return true;
    // Written under a temporary name and renamed: a failure leaves any old file as it was.
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("VACUUM INTO ?"));
    q.addBindValue(temporary);
    if (!q.exec()) {
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot write the history \"") + shown + u'"',
                    q.lastError().text());
    }
    remove(path);
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot write the history \"") + shown + u'"', {});
    }
    return open(path, Mode::Write);
}

qint64 HistoryStore::beginScan(const QDateTime& started, const QString& version)
{
    if (m_readOnly) {
        fail(QStringLiteral("the history is read-only"), m_notice);
        return 0;
    }
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO scans(started, state, version) VALUES(?, ?, ?)"));
    q.addBindValue(timeText(started));
    q.addBindValue(kRunning);
    q.addBindValue(notNull(version));
    if (!q.exec()) {
        fail(QStringLiteral("cannot write the history"), q.lastError().text());
        return 0;
    }
    return q.lastInsertId().toLongLong();
}

bool HistoryStore::endScan(qint64 scan, const QDateTime& finished, bool complete)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE scans SET finished = ?, state = ? WHERE id = ?"));
    q.addBindValue(timeText(finished));
    q.addBindValue(complete ? kComplete : kStopped);
    q.addBindValue(scan);
    if (!q.exec())
        return fail(QStringLiteral("cannot write the history"), q.lastError().text());
    return true;
}

qint64 HistoryStore::partnerId(const QString& main, const QString& url) const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT partner FROM names WHERE main = ? AND url = ?"));
    q.addBindValue(main);
    q.addBindValue(partnerKey(url));
    if (q.exec() && q.next())
        return q.value(0).toLongLong();
    return 0;
}

bool HistoryStore::beginBatch()
{
    if (!exec(QStringLiteral("SAVEPOINT batch")))
        return false;
    ++m_savepoints;
    return true;
}

bool HistoryStore::endBatch()
{
    --m_savepoints;
    return exec(QStringLiteral("RELEASE batch"));
}

bool HistoryStore::rename(const QString& main, const QString& oldUrl, const QString& newUrl)
{
    const QString oldKey = partnerKey(oldUrl);
    const QString newKey = partnerKey(newUrl);
    if (oldKey == newKey || m_readOnly)
        return !m_readOnly;
    const qint64 id = partnerId(main, oldKey);
    if (id == 0)
        return true; // nothing kept under the old name
    if (!exec(QStringLiteral("SAVEPOINT rename")))
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO names(main, url, partner) VALUES(?, ?, ?)"));
    q.addBindValue(main);
    q.addBindValue(newKey);
    q.addBindValue(id);
    QSqlQuery u(m_db);
    u.prepare(QStringLiteral("UPDATE OR IGNORE partners SET url = ? WHERE id = ?"));
    u.addBindValue(newKey);
    u.addBindValue(id);
    if (!q.exec() || !u.exec()) {
        const QString detail = q.lastError().text() + u.lastError().text();
        exec(QStringLiteral("ROLLBACK TO rename"));
        exec(QStringLiteral("RELEASE rename"));
        return fail(QStringLiteral("cannot write the history"), detail);
    }
    return exec(QStringLiteral("RELEASE rename"));
}

std::optional<PartnerChange> HistoryStore::recordCheck(qint64 scan, const QString& main,
                                                       const QString& url,
                                                       const QString& formerUrl,
                                                       const PartnerCheck& check,
                                                       int lostAfterFailures)
{
    if (m_readOnly) {
        fail(QStringLiteral("the history is read-only"), m_notice);
        return std::nullopt;
    }
    if (!exec(QStringLiteral("SAVEPOINT partner")))
        return std::nullopt;
    auto rollback = [this](const QString& detail) -> std::optional<PartnerChange> {
        const QString error = QStringLiteral("cannot write the history: ") + detail;
        exec(QStringLiteral("ROLLBACK TO partner"));
        exec(QStringLiteral("RELEASE partner"));
        m_error = error;
        return std::nullopt;
    };
    const QString key = partnerKey(url);
    qint64 id = partnerId(main, key);
    if (id == 0 && !formerUrl.isEmpty())
        id = partnerId(main, formerUrl);
    PartnerRecord record;
    if (id == 0) {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("INSERT OR IGNORE INTO partners(main, url, record) VALUES(?, ?, '{}')"));
        q.addBindValue(main);
        q.addBindValue(key);
        if (!q.exec())
            return rollback(q.lastError().text());
        id = q.lastInsertId().toLongLong();
    } else {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT record FROM partners WHERE id = ?"));
        q.addBindValue(id);
        if (!q.exec())
            return rollback(q.lastError().text());
        if (q.next())
            record = PartnerRecord::fromJson(
                QJsonDocument::fromJson(q.value(0).toString().toUtf8()).object());
    }
    if (id == 0)
        return rollback(QStringLiteral("no partner row"));
    QSqlQuery name(m_db);
    name.prepare(QStringLiteral("INSERT OR REPLACE INTO names(main, url, partner) VALUES(?, ?, ?)"));
    name.addBindValue(main);
    name.addBindValue(key);
    name.addBindValue(id);
    if (!name.exec())
        return rollback(name.lastError().text());

    const PartnerChange change = record.step(check, lostAfterFailures);
    QSqlQuery row(m_db);
    row.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO checks(partner, scan, checked, outcome, status, found_on, links, "
        "missing, notes, change, detail) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    row.addBindValue(id);
    row.addBindValue(scan);
    row.addBindValue(check.checked.toSecsSinceEpoch());
    row.addBindValue(int(check.outcome));
    row.addBindValue(notNull(check.status));
    row.addBindValue(notNull(check.foundOn));
    row.addBindValue(check.links);
    row.addBindValue(check.missing);
    row.addBindValue(notNull(check.notes));
    row.addBindValue(int(change.kind));
    row.addBindValue(notNull(change.detail));
    if (!row.exec())
        return rollback(row.lastError().text());
    QSqlQuery update(m_db);
    update.prepare(QStringLiteral("UPDATE OR IGNORE partners SET url = ?, record = ? WHERE id = ?"));
    update.addBindValue(key);
    update.addBindValue(QString::fromUtf8(QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact)));
    update.addBindValue(id);
    if (!update.exec())
        return rollback(update.lastError().text());
    if (!exec(QStringLiteral("RELEASE partner")))
        return rollback(m_error);
    return change;
}

} // namespace corvane
