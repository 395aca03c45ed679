#pragma once

#include "history/PartnerChange.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// A project's scans, kept in a SQLite database beside its file (links.prj -> links.history.db):
// one row per scan (start, end, complete or stopped, program version) and one row per partner
// per scan (what was found, and the change it made). A partner is a Linking Site of a Main Site;
// it keeps every name it had (a URL rewritten by the scan or edited by the user), so its history
// follows it.
//
// Each recorded partner is one transaction, so a scan that stops or is killed keeps what it
// completed and never leaves a broken file (WAL journal). A project never saved keeps its history
// in memory until saveTo() writes it beside the project's first file.
//
// The schema is versioned (PRAGMA user_version) and migrated forward when a file is opened for
// writing; a file from a newer program is opened read-only and says so (notice()). Every file is
// checked when opened (its tables against the schema, and SQLite's quick_check) before anything
// is written to it: a damaged one is refused and left as it is.
class HistoryStore final
{
    Q_DISABLE_COPY_MOVE(HistoryStore)

public:
    static constexpr int kSchemaVersion = 2;
    enum class Mode { Write, Read };

    struct Scan {
        qint64 id = 0;
        QDateTime started;
        QDateTime finished;
        QString state; // "complete", "stopped", "running"
        QString version;
    };
    struct PartnerRow {
        qint64 partner = 0;
        QString main;
        QString url; // the partner's current name
        qint64 scan = 0;
        QDateTime scanStarted;
        PartnerCheck check;
        PartnerChange change;
    };
    struct Partner {
        qint64 id = 0;
        QString main;
        QString url;
        QStringList formerUrls;
        PartnerRecord record;
        int checks = 0;
        PartnerChange lastChange;
    };
    struct ScanCount {
        qint64 scan = 0;
        QDateTime started;
        int linking = 0; // partners found linking back
        int checked = 0;
    };

    HistoryStore();
    ~HistoryStore();

    // links.prj -> links.history.db beside the project's real file; a name without ".prj" gets
    // ".history.db" appended.
    static QString pathFor(const QString& projectPath);
    // The name a partner is kept under: the listed URL without its scheme and trailing "/".
    static QString partnerKey(const QString& url);

    // Opens (Write: creates and migrates) the database at path. False with error() when it cannot.
    bool open(const QString& path, Mode mode);
    bool openInMemory();
    void close();
    bool isOpen() const { return m_db.isOpen(); }
    bool isReadOnly() const { return m_readOnly; }
    bool isInMemory() const { return m_path.isEmpty() && isOpen(); }
    QString path() const { return m_path; }
    QString error() const { return m_error; }
    // Said once when the file is opened read-only because a newer program wrote it.
    QString notice() const { return m_notice; }
    int schemaVersion() const;

    // Removes the history file at path with its journal files; true when none is left.
    static bool remove(const QString& path);
    // Writes the whole history to path (replacing a file there) and goes on with that file.
    bool saveTo(const QString& path);

    // 0 on failure.
    qint64 beginScan(const QDateTime& started, const QString& version);
    bool endScan(qint64 scan, const QDateTime& finished, bool complete);
    // One partner's check in one transaction: the partner is found under url (or formerUrl, its
    // name when the scan began, when the scan rewrote it), its record moves on by the check, and
    // the check is stored with the change it made. Nullopt with error() on failure.
    std::optional<PartnerChange> recordCheck(qint64 scan, const QString& main, const QString& url,
                                             const QString& formerUrl, const PartnerCheck& check,
                                             int lostAfterFailures);
    // The partner known as oldUrl is known as newUrl from now on (and still under oldUrl).
    bool rename(const QString& main, const QString& oldUrl, const QString& newUrl);
    // Many checks in one transaction (generated histories); recordCheck's own transactions nest.
    bool beginBatch();
    bool endBatch();

    QList<Scan> scans() const;
    // The latest scan that checked at least one partner.
    std::optional<Scan> lastScan() const;
    QList<PartnerRow> rowsOfScan(qint64 scan) const;
    // Every row of the scans started at or after since whose change is not "unchanged".
    QList<PartnerRow> changesSince(const QDateTime& since) const;
    QList<Partner> partners() const;
    std::optional<Partner> partner(const QString& main, const QString& url) const;
    QList<PartnerRow> partnerRows(qint64 partner) const;
    // Per scan, how many partners of the Main Site were found linking back.
    QList<ScanCount> linkingPerScan(const QString& main) const;

    // What the system refused for the history at path, in the user's words ("the folder is
    // read-only", "the disk is full"); empty when it is none of these.
    static QString systemCause(const QString& path, const QSqlError& error);

private:
    bool fail(const QString& what, const QString& detail);
    // The system's refusal in the user's words when it is one, else SQLite's text.
    QString why(const QSqlError& error) const;
    // "cannot write the history" and the file's name.
    QString cannotWrite() const;
    bool connectTo(const QString& path, bool readOnly, bool immutable);
    bool failOpen(const QString& path, bool writing, const QSqlError& error);
    bool failDamaged(const QString& path, const QString& what);
    // Empty when the open file is an intact history of the schema version; else what is wrong.
    // A read the system refused is no damage: *failure holds it, and the result is empty.
    QString damage(int version, QSqlError* failure) const;
    bool migrate(int from);
    bool exec(const QString& sql);
    qint64 partnerId(const QString& main, const QString& url) const;
    QList<PartnerRow> readRows(const QString& where, const QVariantList& values) const;

    QString m_connection;
    QSqlDatabase m_db;
    QString m_path;
    bool m_readOnly = false;
    // Whether the scan m_checksBeforeScan is the first with checks (recordCheck asks once a scan).
    qint64 m_checksBeforeScan = 0;
    bool m_firstScan = false;
    mutable QString m_error;
    QString m_notice;
    int m_savepoints = 0;
};

} // namespace corvane
