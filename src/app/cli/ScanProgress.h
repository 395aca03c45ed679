#pragma once

#include "app/cli/Cli.h"
#include "history/PartnerOutcome.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

namespace corvane {
class Project;
class ScanController;
}

namespace corvane::cli {

// Follows a scan Linking Site by Linking Site and tells the user on err: a line for each one as
// it ends ("[12/48] partner.example: Direct Link (3 pages, 0.4 s)"), on a terminal one live line
// below them (the Linking Site in progress, its page, the pages so far, the time), and at the end
// the summary. Quiet: the summary only. It also keeps every Linking Site's outcome for the JSON.
class ScanProgress final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanProgress)

public:
    ScanProgress(const Project& project, ScanController& scan, Environment& env, bool quiet);
    ~ScanProgress() override;

    // The scan has ended: the live line goes.
    void finish();

    int linkingSiteCount() const { return m_total; }
    int finishedCount() const { return int(m_finished.size()); }
    int pageCount() const { return m_pages; }
    // From the first Linking Site to finish(), or to now while the scan runs.
    qint64 elapsedMs() const;

    // Every Linking Site of the project in list order: the finished ones with their outcome,
    // the others not checked (the one in progress with what it recorded so far).
    QList<PartnerOutcome> outcomes() const;
    // "48 partners: 40 link back, 6 missing, 2 errors, 2 blocked; 312 pages in 51 s" (blocked and
    // not checked only when there are any)
    QString summary() const;

    // "0.4 s", "51 s", "12 min 5 s".
    static QString duration(qint64 milliseconds);

private:
    void onSiteSelected(int mainSite, int row);
    void onSiteStarted(int mainSite, int row);
    void onPageStarted(int mainSite, int row);
    void onSiteScanned(int mainSite, int row);
    void onSiteFinished(int mainSite, int row);
    void onIdle(int panel, const QString& text);
    void redraw();
    // How long the Linking Site's own scan took (so far).
    qint64 siteMs(int mainSite, int row) const;
    // A line that stays, above the live line on a terminal.
    void printLine(const QString& line);
    QString coloured(const QString& text, PartnerOutcome::Verdict verdict) const;

    const Project& m_project;
    Environment& m_env;
    bool m_quiet;
    bool m_live;
    int m_total = 0;
    int m_pages = 0;
    int m_lastMainShown = 0;
    QElapsedTimer m_sinceStart;
    qint64 m_endMs = -1;

    // The Linking Site in progress.
    PartnerOutcome m_current;
    bool m_inProgress = false;
    int m_firstRow = 0; // its first row in the results
    QString m_waiting; // "3 of 60 seconds" while its server keeps silent

    QHash<quint64, PartnerOutcome> m_finished; // by mainSite << 32 | row
    // Several Linking Sites are scanned at once: each one's pages and time, by the same key.
    struct SiteClock {
        int pages = 0;
        qint64 startMs = 0;
        qint64 endMs = -1;
    };
    QHash<quint64, SiteClock> m_clocks;
    QStringList m_alsoInProgress; // the others in progress beside the one shown

    // The live line is drawn at most ten times a second (a scan fetches many pages a second and
    // a redraw for each only makes the terminal work); what is held back is drawn within a tenth
    // of a second all the same, and a one-second tick keeps its clock going while a page waits.
    QElapsedTimer m_sinceDraw;
    QTimer m_drawTimer;
    QTimer m_clock;
    bool m_liveShown = false;
};

} // namespace corvane::cli
