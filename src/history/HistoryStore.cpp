#include "history/HistoryStore.h"

#include "history/HistoryTime.h"
#include "model/FileWrite.h"
#include "model/ProjectLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <sys/statvfs.h>
#include <unistd.h>

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

// SQLite found the file is not a database, or a damaged one.
bool isCorruption(const QSqlError& error)
{
    constexpr int kCorrupt = 11;
    constexpr int kNotADatabase = 26;
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == kCorrupt || code == kNotADatabase;
}

// Each table of the database (SQLite's own left out) with its columns in order.
QMap<QString, QStringList> tablesOf(const QSqlDatabase& db, bool* readable)
{
    QMap<QString, QStringList> tables;
    QSqlQuery q(db);
    *readable = q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                      "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"));
    while (*readable && q.next())
        tables.insert(q.value(0).toString(), {});
    for (auto it = tables.begin(); *readable && it != tables.end(); ++it) {
        QSqlQuery c(db);
        c.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"));
        c.addBindValue(it.key());
        *readable = c.exec();
        while (*readable && c.next())
            it->append(c.value(0).toString());
    }
    return tables;
}

// The tables a history of the version has, as the schema steps make them.
QMap<QString, QStringList> schemaOf(int version)
{
    const QString connection = QStringLiteral("history-schema-")
                               + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QMap<QString, QStringList> tables;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (db.open()) {
            QSqlQuery q(db);
            for (int step = 0; step < version && step < int(schemaSteps().size()); ++step) {
                for (const QString& sql : schemaSteps().at(step))
                    q.exec(sql);
            }
            bool readable = true;
            tables = tablesOf(db, &readable);
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return tables;
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
    QString base = ProjectLock::realProjectPath(projectPath);
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

QString HistoryStore::why(const QSqlError& error) const
{
    const QString cause = m_path.isEmpty() ? QString() : systemCause(m_path, error);
    return cause.isEmpty() ? error.text() : cause;
}

QString HistoryStore::cannotWrite() const
{
    return m_path.isEmpty() ? QStringLiteral("cannot write the history")
                            : QStringLiteral("cannot write the history \"")
                                  + QDir::toNativeSeparators(m_path) + u'"';
}

bool HistoryStore::exec(const QString& sql)
{
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        return fail(cannotWrite(), why(q.lastError()));
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

QString HistoryStore::systemCause(const QString& path, const QSqlError& error)
{
    if (const QString cause = FileWrite::folderCause(path); !cause.isEmpty())
        return cause;
    // SQLite's primary result codes, under the extended ones.
    constexpr int kReadOnly = 8;
    constexpr int kFull = 13;
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (code == kFull)
        return QStringLiteral("the disk is full");
    if (code == kReadOnly)
        return QStringLiteral("the file is read-only");
    return {};
}

bool HistoryStore::failOpen(const QString& path, bool writing, const QSqlError& error)
{
    const QString cause = systemCause(path, error);
    close();
    return fail((writing ? QStringLiteral("cannot write the history \"")
                         : QStringLiteral("cannot read the history \""))
                    + QDir::toNativeSeparators(path) + u'"',
                cause.isEmpty() ? error.text() : cause);
}

bool HistoryStore::failDamaged(const QString& path, const QString& what)
{
    close();
    return fail(QStringLiteral("the history \"") + QDir::toNativeSeparators(path)
                    + QStringLiteral("\" is damaged (") + what
                    + QStringLiteral("); it was left as it is: move it aside to start a new one"),
                {});
}

bool HistoryStore::connectTo(const QString& path, bool readOnly, bool immutable)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (immutable) {
        // Nobody can change a file in a read-only folder, and a history in WAL mode is read there
        // only so: SQLite cannot make the shared-memory file it would otherwise need.
        QUrl url = QUrl::fromLocalFile(path);
        url.setQuery(QStringLiteral("immutable=1"));
        m_db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    } else {
        // A reader opens the file for writing too, though it never changes the history: SQLite
        // removes the journal files (-wal, -shm) only when the last connection to close may
        // write, and a reader is often the last one out.
        m_db.setDatabaseName(path);
    }
    m_readOnly = readOnly;
    return m_db.open();
}

QString HistoryStore::damage(int version, QSqlError* failure) const
{
    // A read the system refused (an I/O error, no room for the shared-memory file) says nothing
    // about the file: only SQLite's own finding of corruption does.
    auto damaged = [failure](const QSqlError& error) {
        if (isCorruption(error))
            return error.databaseText();
        *failure = error;
        return QString();
    };
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check")))
        return damaged(q.lastError());
    QStringList problems;
    while (q.next())
        problems << q.value(0).toString();
    if (q.lastError().isValid())
        return damaged(q.lastError());
    if (problems != QStringList{QStringLiteral("ok")})
        return problems.value(0);

    bool readable = true;
    const QMap<QString, QStringList> tables = tablesOf(m_db, &readable);
    if (!readable)
        return QStringLiteral("its tables cannot be read");
    // A file of version 0 is one no program has written yet.
    if (version == 0)
        return tables.isEmpty() ? QString() : QStringLiteral("it holds another program's tables");
    const QMap<QString, QStringList> expected = schemaOf(std::min(version, kSchemaVersion));
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
        if (!tables.contains(it.key()))
            return QStringLiteral("the table \"") + it.key() + QStringLiteral("\" is missing");
        const QStringList columns = tables.value(it.key());
        // A newer program may have added columns; it keeps ours.
        const bool fits = version > kSchemaVersion
                              ? std::all_of(it->cbegin(), it->cend(),
                                            [&columns](const QString& c) { return columns.contains(c); })
                              : columns == *it;
        if (!fits)
            return QStringLiteral("the table \"") + it.key()
                   + QStringLiteral("\" has other columns than a history's");
    }
    return {};
}

bool HistoryStore::open(const QString& path, Mode mode)
{
    close();
    m_error.clear();
    const QString shown = QDir::toNativeSeparators(path);
    if (mode == Mode::Read && !QFileInfo::exists(path))
        return fail(QStringLiteral("no history at \"") + shown + u'"', {});
    const bool writing = mode == Mode::Write;
    // The file is read and checked before anything is written to it: a damaged history (or
    // another program's database) is never changed, and an intact one is never called damaged
    // for what the system refused.
    if (!connectTo(path, !writing, false))
        return failOpen(path, writing, m_db.lastError());
    m_path = path;
    QSqlQuery version(m_db);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        const QSqlError error = version.lastError();
        version.clear();
        if (isCorruption(error))
            return failDamaged(path, error.databaseText());
        const QString cause = systemCause(path, error);
        const QFileInfo wal(path + QStringLiteral("-wal"));
        // Without a journal that holds writes not yet in the file, the file alone is the history.
        if (!writing && cause == QStringLiteral("the folder is read-only")
            && (!wal.exists() || wal.size() == 0)) {
            close();
            if (!connectTo(path, true, true))
                return failOpen(path, false, m_db.lastError());
            m_path = path;
            version = QSqlQuery(m_db);
            if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
                const QSqlError again = version.lastError();
                version.clear();
                return failOpen(path, false, again);
            }
        } else {
            return failOpen(path, writing, error);
        }
    }
    const int schema = version.value(0).toInt();
    version.clear();
    QSqlError refused;
    if (const QString what = damage(schema, &refused); !what.isEmpty())
        return failDamaged(path, what);
    if (refused.isValid())
        return failOpen(path, writing, refused);
    if (schema > kSchemaVersion) {
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
                   + QString::number(schema) + QStringLiteral("; this one knows up to ")
                   + QString::number(kSchemaVersion)
                   + QStringLiteral("): it is read but not changed");
        return true;
    }
    if (m_readOnly)
        return true;
    QSqlQuery q(m_db);
    // WAL: a killed writer leaves the file readable, and readers never wait for the writer.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()) {
        const QSqlError error = q.lastError();
        q.clear();
        return failOpen(path, true, error);
    }
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    q.clear();
    if (!migrate(schema)) {
        const QString error = m_error;
        close();
        m_error = error;
        return false;
    }
    // Whoever opens for writing holds the project's lock: a scan still "running" was killed.
    if (!exec(QStringLiteral("UPDATE scans SET state = 'stopped' WHERE state = 'running'"))) {
        const QString error = m_error;
        close();
        m_error = error;
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
        return fail(cannotWrite(), why(m_db.lastError()));
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
        return fail(cannotWrite(), why(m_db.lastError()));
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
        const QString cause = systemCause(path, q.lastError());
        return fail(QStringLiteral("cannot write the history \"") + shown + u'"',
                    cause.isEmpty() ? q.lastError().text() : cause);
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
        fail(cannotWrite(), why(q.lastError()));
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
        return fail(cannotWrite(), why(q.lastError()));
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
        return fail(cannotWrite(), detail);
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
        const QString error = cannotWrite() + QStringLiteral(": ") + detail;
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
            return rollback(why(q.lastError()));
        id = q.lastInsertId().toLongLong();
    } else {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT record FROM partners WHERE id = ?"));
        q.addBindValue(id);
        if (!q.exec())
            return rollback(why(q.lastError()));
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
        return rollback(why(name.lastError()));

    PartnerChange change = record.step(check, lostAfterFailures);
    // The first scan is what later ones are compared with: it tells no change of its own. The
    // record still moves on, so the next scan knows who linked.
    QSqlQuery earlier(m_db);
    earlier.prepare(QStringLiteral("SELECT 1 FROM checks WHERE scan < ? LIMIT 1"));
    earlier.addBindValue(scan);
    if (!earlier.exec())
        return rollback(why(earlier.lastError()));
    if (!earlier.next())
        change = PartnerChange{PartnerChange::Kind::Unchanged, {}, true};
    earlier.finish();
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
        return rollback(why(row.lastError()));
    QSqlQuery update(m_db);
    update.prepare(QStringLiteral("UPDATE OR IGNORE partners SET url = ?, record = ? WHERE id = ?"));
    update.addBindValue(key);
    update.addBindValue(QString::fromUtf8(QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact)));
    update.addBindValue(id);
    if (!update.exec())
        return rollback(why(update.lastError()));
    if (!exec(QStringLiteral("RELEASE partner")))
        return rollback(m_error);
    return change;
}

} // namespace corvane
