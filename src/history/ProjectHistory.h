#pragma once

#include "history/HistoryStore.h"
#include "model/ProjectFollower.h"
#include "model/ProjectLock.h"

#include <QHash>
#include <QObject>

#include <memory>

namespace corvane {

class Project;
class ScanController;
class SettingsStore;

// The history of the program's project: where it is kept (beside the project file, or in memory
// for a project never saved), and the recording of each scan into it. A watched scan takes the
// project's lock when it starts (unless the caller holds it already), records every Linking Site
// whose outcome is decided, one transaction each, writes each one's change into the "Change"
// column of its result rows, and gives the lock back when the scan stops.
//
// Failures lose nothing else: the scan goes on and the project is still saved; failed() says
// what could not be written, once per scan.
class ProjectHistory final : public QObject, public ProjectFollower
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProjectHistory)

public:
    ProjectHistory(Project& project, const SettingsStore& settings, QObject* parent = nullptr);
    ~ProjectHistory() override;

    // The project was read from this file (empty: New); its history is the file's.
    void projectOpened(const QString& path) override;
    // The project was saved to this file: a project saved for the first time (or under a new
    // name) takes its history with it. False with error() when that could not be written.
    bool setProjectPath(const QString& path) override;
    QString projectPath() const override { return m_projectPath; }
    // The lock of the project's file; the command line takes it before reading the project.
    ProjectLock* lock() override { return m_lock.get(); }

    void watch(ScanController& scan);
    // The store for reading: the file's (opened for reading), or the one in memory. Null when the
    // project's file has no history yet or it cannot be read (error()).
    HistoryStore* reader();
    QString error() const { return m_error; }

    // The user renamed a Linking Site of the Main Site at mainSite (1-based): its history goes on
    // under the new name (and is still found under the old one). While another program holds the
    // project, the rename waits for the next scan of this one.
    void renamePartner(int mainSite, const QString& oldUrl, const QString& newUrl);

    // The changes of the last scan that checked a partner, into the "Change" column of the
    // results (after a project was read).
    void showLastChanges() override;
    // The number of partners of the running (or last) scan by change.
    int changeCount(PartnerChange::Kind kind) const { return m_counts.value(int(kind)); }
    // Whether the history of the last scan was written in full.
    bool recordedInFull() const { return m_recordedInFull; }

    // The version written with each scan.
    void setProgramVersion(const QString& version) { m_version = version; }

Q_SIGNALS:
    void failed(const QString& message);
    // A partner's change was recorded: Main Site position, Linking Site row (1-based).
    void partnerRecorded(int mainSite, int row, const corvane::PartnerChange& change);

private:
    void onScanStarted();
    void onSiteSelected(int mainSite, int row);
    void onSiteFinished(int mainSite, int row);
    void onScanStopped(bool complete);
    void onRowsInserted(int first, int last);
    bool openForWriting();
    void applyPendingRenames();
    void report(const QString& message);
    void setChangeCells(const QString& main, const QString& remote, const PartnerChange& change);

    Project& m_project;
    const SettingsStore& m_settings;
    QString m_projectPath;
    std::unique_ptr<ProjectLock> m_lock;
    bool m_ownLock = false; // taken for this scan, given back when it stops
    HistoryStore m_store;
    QString m_error;
    QString m_version;

    qint64 m_scan = 0; // the scan being recorded; 0 when none
    bool m_failedThisScan = false;
    bool m_recordedInFull = true;
    QHash<quint64, QString> m_startUrls; // Linking Site URLs when the scan began, by position
    int m_currentMain = 0;
    int m_currentRow = 0;
    QList<ResultEntry> m_currentRows; // the rows the current partner added
    QList<ErrorEntry> m_currentErrors; // and the error rows of its pages
    QHash<int, int> m_counts;
    struct Rename {
        QString main;
        QString oldUrl;
        QString newUrl;
    };
    QList<Rename> m_pendingRenames;
};

} // namespace corvane
