#pragma once

#include "model/AppFolder.h"

#include <QObject>
#include <QSet>
#include <QString>

namespace corvane {

class Project;
class ScanController;
class ScanStatistics;
class SettingsStore;
class SiteScan;

// Hands what the Linking Sites in progress find on to the project in project order, as a scan of
// one Linking Site after another would give it. Only the front whose turn has come (the announced
// one) hands on: its rows, errors, row colour, URL update and counts as they are made, its page
// queue into the project's, its state into the shared ScanState, its status-bar texts and progress
// out to the window. A later Linking Site keeps its findings on its desk until its turn.
//
// The scan controller decides when a turn comes and ends; this class does what that means for the
// project. After each signal it checks that the scan it works for is still the running one.
class SiteHandOn final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SiteHandOn)

public:
    SiteHandOn(Project& project, SettingsStore& settings, ScanStatistics& statistics, AppFolder app,
               const ScanController& scan, QObject* parent = nullptr);

    // The front whose turn has come; null when none has.
    SiteScan* announced() const { return m_announced; }
    // No Linking Site has had its turn: at the start of a scan and when it stops.
    void reset();
    // Watches the site's desk, so that from its turn on what it finds reaches the project.
    void follow(SiteScan* site);
    // Stops listening to the site itself (its desk is let go with it).
    void unfollow(SiteScan* site);
    // The site's turn has come: the window selects it and its findings so far go to the project.
    void announce(SiteScan* site);
    // The announced site ended: the rest of its findings go to the project, it counts as scanned
    // and the shared state shows its end.
    void handOver(SiteScan* site);
    // After the announced site has gone: the project's page queue and the per-site counters of the
    // shared state are cleared for the next one.
    void endTurn();

Q_SIGNALS:
    void statusChanged(int panel, const QString& text);
    void progressChanged(int value);
    void mainSiteSelected(int mainSite);
    void linkingSiteSelected(int mainSite, int row);
    void cueRequested(const QString& wavFile);

private:
    // Hands the site's findings not yet handed on to the project; only the announced one's.
    void publish(SiteScan* site);
    void mirrorState(const SiteScan* site);

    Project& m_project;
    SettingsStore& m_settings;
    ScanStatistics& m_statistics;
    AppFolder m_app;
    const ScanController& m_scan;
    SiteScan* m_announced = nullptr;
    int m_lastMain = 0;               // the Main Site of the last front; 0 before the first
    QSet<QString> m_saidFileFailures; // kinds of file failure said in this scan
};

} // namespace corvane
