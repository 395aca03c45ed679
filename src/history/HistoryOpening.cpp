#include "history/HistoryStore.h"

// The history's opening side: the file looked up and connected to (read-only where only reading
// is wanted and the folder allows nothing else), its schema and SQLite's quick check compared with
// what this program makes, older versions brought up to date, and every refusal said plainly.

#include "model/FileWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>

namespace corvane {

namespace {

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

} // namespace

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

} // namespace corvane
