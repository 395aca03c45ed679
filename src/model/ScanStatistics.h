#pragma once

#include <QObject>

namespace corvane {

class SettingsStore;

// What a scan did (run counters, zeroed at every Start Scan) and the two historical counters kept
// across runs in the settings store. Every count goes through CountScanEvent, which stores the
// historical counter it changed and signals the display.
class ScanStatistics final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanStatistics)

public:
    enum Event : qint16 {
        PageRequested = 0,      // lPagesScanned, lHistPagesScanned
        PageQueued = 1,         // lPagesFound
        LinkRecorded = 2,       // lLinksFound, lHistLinksFound
        MainSiteScanned = 3,    // lMainSitesScanned
        LinkingSiteScanned = 4, // lLinkingSitesScanned
    };

    // Loads the historical counters from the store.
    explicit ScanStatistics(SettingsStore& settings, QObject* parent = nullptr);
    // A tally of one Linking Site scanned beside others: run counters only, nothing stored. Its
    // counts reach the scan's statistics with add() once the Linking Site's turn has come.
    explicit ScanStatistics(QObject* parent = nullptr);

    void CountScanEvent(int kind);
    // Several pages queued at once (a links page queues thousands): counted as as many
    // PageQueued events, with one signal.
    void CountPagesQueued(qint32 count);
    // Start Scan zeroes the run counters without signalling: the display keeps the previous
    // scan's numbers until the first count of the new scan.
    void resetRun();
    // Pages requested, pages queued and links recorded counted elsewhere, added in one go (the
    // historical counters with them), with one signal.
    void add(qint32 pagesScanned, qint32 pagesFound, qint32 linksFound);

    qint32 lMainSitesScanned = 0;
    qint32 lLinkingSitesScanned = 0;
    qint32 lPagesScanned = 0;
    qint32 lPagesFound = 0;
    qint32 lLinksFound = 0;
    qint32 lHistPagesScanned = 0;
    qint32 lHistLinksFound = 0;

Q_SIGNALS:
    void statisticsChanged();

private:
    SettingsStore* m_settings = nullptr;
};

} // namespace corvane
