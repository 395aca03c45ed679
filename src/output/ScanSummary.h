#pragma once

#include "history/PartnerOutcome.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

namespace corvane {

class Project;
class ScanController;

// The line that sums up a scan, the same wherever it is shown (the command line's last line, the
// window's status bar): "8 partners: 5 link back, 1 missing, 2 errors; 31 pages in 12 s".
namespace ScanSummary {

// finished: the outcomes of the Linking Sites whose scan ended; partners: how many Linking Sites
// the scan was to check (those without an outcome are "not checked").
QString line(const QList<PartnerOutcome>& finished, int partners, int pages, qint64 milliseconds);
// "0.4 s", "51 s", "12 min 5 s".
QString duration(qint64 milliseconds);

} // namespace ScanSummary

// Follows a scan for its summary: which Linking Sites it is to check, the outcome of each one as
// it comes out (its rows are those the results gained since the one before, as outcomes are
// handed on in project order), the pages requested and the time from start to stop.
class ScanTally final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanTally)

public:
    ScanTally(const Project& project, ScanController& scan, QObject* parent = nullptr);

    QString summary() const;
    const QList<PartnerOutcome>& finished() const { return m_finished; }

Q_SIGNALS:
    // The scan stopped: its summary line.
    void scanSummarised(const QString& line);

private:
    void onStarted();
    void onSiteFinished(int mainSite, int row);

    const Project& m_project;
    QList<PartnerOutcome> m_finished;
    int m_partners = 0;
    int m_pages = 0;
    int m_nextRow = 0; // the first result row not yet given to an outcome
    QElapsedTimer m_clock;
    qint64 m_ms = 0;
};

} // namespace corvane
