#include "ui/StatisticsFrame.h"

#include "model/ProjectLists.h"
#include "model/ScanStatistics.h"
#include "scan/ScanController.h"
#include "ui/Widgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QFont>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QVBoxLayout>

namespace corvane {

StatisticsFrame::StatisticsFrame(const ScanStatistics& statistics, PageQueue& queue,
                                 QWidget* parent)
    : QGroupBox(tr("Scan Progress and Statistics"), parent), m_statistics(statistics)
{
    setObjectName(QStringLiteral("Frame6"));
    List2 = new QListView(this);
    List2->setObjectName(QStringLiteral("List2"));
    List2->setToolTip(tr("These webpages are queued about to be scanned for links to your Main Site"));
    List2->setAccessibleName(tr("Pages queued"));
    List2->setAccessibleDescription(List2->toolTip());
    List2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List2->setUniformItemSizes(true);
    List2->setModel(&queue);

    pb1 = new QProgressBar(this);
    pb1->setObjectName(QStringLiteral("pb1"));
    pb1->setRange(0, ScanController::kProgressMaximum);
    pb1->setValue(0);
    pb1->setAccessibleName(tr("Page download progress"));

    auto* stats = new QGroupBox(tr("Scan Statistics"), this);
    stats->setObjectName(QStringLiteral("fraStats"));
    auto* grid = new QGridLayout(stats);
    const QString captions[] = {tr("Main Sites Scanned:"), tr("Linking Sites Scanned:"),
                                tr("Pages Scanned:"), tr("Pages Found:"), tr("Links Found:"),
                                tr("Pages Scanned:"), tr("Links Found:")};
    // The run's five counters in the first two columns, the historical two beside them.
    for (int i = 0; i < 7; ++i) {
        auto* caption = new QLabel(captions[i], stats);
        m_values[i] = new QLabel(stats);
        m_values[i]->setObjectName(QStringLiteral("lblStats%1").arg(i));
        m_values[i]->setMinimumWidth(m_values[i]->fontMetrics().horizontalAdvance(u'0') * 8);
        m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        caption->setBuddy(m_values[i]);
        const int row = i < 5 ? i : i - 4;
        const int column = i < 5 ? 0 : 2;
        grid->addWidget(caption, row, column);
        grid->addWidget(m_values[i], row, column + 1);
    }
    auto* historically = new QLabel(tr("Historically"), stats);
    // A font rather than a style sheet, so the caption follows the palette (a dark one too).
    QFont bold = historically->font();
    bold.setBold(true);
    historically->setFont(bold);
    grid->addWidget(historically, 0, 2, 1, 2);
    grid->setColumnStretch(4, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(pb1);
    right->addWidget(stats, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(List2, 1);
    layout->addLayout(right, 1);
    StatsD();
}

QString StatisticsFrame::valueName(int index)
{
    // The captions of the two historical counters repeat those of the run: the names tell them
    // apart.
    const QString names[] = {tr("Main Sites scanned"), tr("Linking Sites scanned"),
                             tr("Pages scanned"),      tr("Pages found"),
                             tr("Links found"),        tr("Pages scanned in all scans"),
                             tr("Links found in all scans")};
    return names[index];
}

void StatisticsFrame::StatsD()
{
    const qint32 values[] = {m_statistics.lMainSitesScanned, m_statistics.lLinkingSitesScanned,
                             m_statistics.lPagesScanned,     m_statistics.lPagesFound,
                             m_statistics.lLinksFound,       m_statistics.lHistPagesScanned,
                             m_statistics.lHistLinksFound};
    for (int i = 0; i < 7; ++i)
        showValue(m_values[i], valueName(i), QString::number(values[i]));
}

void StatisticsFrame::setProgress(int value)
{
    pb1->setValue(qBound(0, value, ScanController::kProgressMaximum));
}

} // namespace corvane
