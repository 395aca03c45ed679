#include "history/HistoryStore.h"

#include "history/HistoryTime.h"
#include "model/ProjectLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>


namespace corvane {

using HistoryTime::timeText;

namespace {

const QString kRunning = QStringLiteral("running");
const QString kComplete = QStringLiteral("complete");
const QString kStopped = QStringLiteral("stopped");

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
    m_checksBeforeScan = 0;
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
    // Asked once a scan: no check of an earlier scan is written while this one runs, and on a
    // first scan the question would read every check written so far, for each partner again.
    if (m_checksBeforeScan != scan) {
        QSqlQuery earlier(m_db);
        earlier.prepare(QStringLiteral("SELECT 1 FROM checks WHERE scan < ? LIMIT 1"));
        earlier.addBindValue(scan);
        if (!earlier.exec())
            return rollback(why(earlier.lastError()));
        m_firstScan = !earlier.next();
        m_checksBeforeScan = scan;
    }
    if (m_firstScan)
        change = PartnerChange{PartnerChange::Kind::Unchanged, {}, true};
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
