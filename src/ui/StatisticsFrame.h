#pragma once

#include <QGroupBox>

class QLabel;
class QListView;
class QProgressBar;

namespace corvane {

class PageQueue;
class ScanStatistics;

// The "Scan Progress and Statistics" frame: the page queue, the progress bar and the counts of
// the scan and of all scans so far.
class StatisticsFrame final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatisticsFrame)

public:
    StatisticsFrame(const ScanStatistics& statistics, PageQueue& queue, QWidget* parent = nullptr);

    // Writes the seven counters into their labels.
    void StatsD();
    void setProgress(int value);
    // The last scan's summary, shown whole (the status bar may cut it).
    void setSummary(const QString& text);
    QLabel* valueLabel(int index) const { return m_values[index]; }
    // What value label index holds, as a screen reader names it.
    static QString valueName(int index);

private:
    const ScanStatistics& m_statistics;
    QListView* List2;
    QProgressBar* pb1;
    QLabel* lblSummary;
    QLabel* m_values[7];
};

} // namespace corvane
