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
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QProgressBar>
#include <QVBoxLayout>

namespace corvane {

namespace {

// The page queue. An empty list shows nothing where the focus is (no row to draw it on), and the
// queue is empty whenever no scan runs: a focus frame tells that the Tab key has reached it.
class QueueView final : public QListView
{
public:
    using QListView::QListView;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QListView::paintEvent(event);
        if (!hasFocus() || currentIndex().isValid())
            return;
        QStylePainter painter(viewport());
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = viewport()->rect().adjusted(1, 1, -1, -1);
        option.backgroundColor = palette().color(QPalette::Base);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
    void focusInEvent(QFocusEvent* event) override
    {
        QListView::focusInEvent(event);
        viewport()->update();
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QListView::focusOutEvent(event);
        viewport()->update();
    }
};

} // namespace

StatisticsFrame::StatisticsFrame(const ScanStatistics& statistics, PageQueue& queue,
                                 QWidget* parent)
    : QGroupBox(tr("Scan Progress and Statistics"), parent), m_statistics(statistics)
{
    setObjectName(QStringLiteral("Frame6"));
    List2 = new QueueView(this);
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

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblSummary->setAccessibleName(tr("Summary of the last scan"));
    lblSummary->hide();

    // A strip, not a panel: the counters stand in two lines beside the queue, so the results
    // keep the window's height.
    auto* stats = new QGroupBox(tr("Scan Statistics"), this);
    stats->setObjectName(QStringLiteral("fraStats"));
    auto* grid = new QGridLayout(stats);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(2);
    const QString captions[] = {tr("Main Sites Scanned:"), tr("Linking Sites Scanned:"),
                                tr("Pages Scanned:"), tr("Pages Found:"), tr("Links Found:"),
                                tr("Pages Scanned:"), tr("Links Found:")};
    // The run's five counters in two columns of three lines, the historical two beside them
    // under their caption.
    const int rows[] = {0, 1, 2, 0, 1, 1, 2};
    const int columns[] = {0, 0, 0, 2, 2, 5, 5};
    for (int i = 0; i < 7; ++i) {
        auto* caption = new QLabel(captions[i], stats);
        m_values[i] = new QLabel(stats);
        m_values[i]->setObjectName(QStringLiteral("lblStats%1").arg(i));
        m_values[i]->setMinimumWidth(m_values[i]->fontMetrics().horizontalAdvance(u'0') * 6);
        m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        caption->setBuddy(m_values[i]);
        grid->addWidget(caption, rows[i], columns[i]);
        grid->addWidget(m_values[i], rows[i], columns[i] + 1);
    }
    auto* historically = new QLabel(tr("Historically"), stats);
    // A font rather than a style sheet, so the caption follows the palette (a dark one too).
    QFont bold = historically->font();
    bold.setBold(true);
    historically->setFont(bold);
    grid->addWidget(historically, 0, 5, 1, 2);
    grid->setColumnMinimumWidth(4, 12);
    grid->setColumnStretch(7, 1);

    // The queue is empty after a scan: a few lines of it are enough to watch one run.
    List2->setMaximumHeight(List2->fontMetrics().height() * 5 + 2 * List2->frameWidth() + 8);
    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(pb1);
    right->addWidget(lblSummary);
    right->addWidget(stats);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->addWidget(List2, 2);
    layout->addLayout(right, 5);
    StatsD();
}

void StatisticsFrame::setSummary(const QString& text)
{
    lblSummary->setText(text);
    lblSummary->setVisible(!text.isEmpty());
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
