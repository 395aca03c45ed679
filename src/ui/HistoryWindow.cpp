#include "ui/HistoryWindow.h"

#include "history/ProjectHistory.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace corvane {

namespace {

QString day(const QDateTime& t)
{
    return t.isValid() ? QLocale().toString(t.date(), QLocale::ShortFormat) : QObject::tr("never");
}

} // namespace

HistoryWindow::HistoryWindow(ProjectHistory& history, const QString& main, const QString& url,
                             QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("History of %1").arg(url));
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lstHistory = new QTableWidget(0, 5, this);
    lstHistory->setObjectName(QStringLiteral("lstHistory"));
    lstHistory->setAccessibleName(tr("Scans of this Linking Site"));
    lstHistory->setHorizontalHeaderLabels(
        {tr("Date"), tr("Verdict"), tr("Found On"), tr("Notes"), tr("Change")});
    lstHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstHistory->verticalHeader()->hide();
    lstHistory->horizontalHeader()->setStretchLastSection(true);
    lblSummary->setBuddy(lstHistory);

    HistoryStore* store = history.reader();
    const std::optional<HistoryStore::Partner> partner =
        store ? store->partner(main, url) : std::nullopt;
    if (!partner) {
        lblSummary->setText(store || history.error().isEmpty()
                                ? tr("No scan of %1 is in the project's history yet.").arg(url)
                                : history.error());
    } else {
        const PartnerRecord& record = partner->record;
        // A lost link was last found on a date; it is not linked since any.
        lblSummary->setText(record.linkText(day)
                            + (record.linksNow()
                                   ? tr(", last confirmed %1").arg(day(record.lastConfirmed))
                                   : QString())
                            + tr(", last checked %1.").arg(day(record.lastChecked))
                            + (partner->formerUrls.isEmpty()
                                   ? QString()
                                   : u' ' + tr("Formerly %1.")
                                                .arg(partner->formerUrls.join(QStringLiteral(", ")))));
        const QList<HistoryStore::PartnerRow> rows = store->partnerRows(partner->id);
        lstHistory->setRowCount(int(rows.size()));
        // Newest first: what the user opened the window for.
        for (int i = 0; i < rows.size(); ++i) {
            const HistoryStore::PartnerRow& r = rows.at(rows.size() - 1 - i);
            const QStringList cells = {
                QLocale().toString(r.scanStarted, QLocale::ShortFormat), r.check.status,
                r.check.foundOn, r.check.notes, r.change.text()};
            for (int c = 0; c < cells.size(); ++c)
                lstHistory->setItem(i, c, new QTableWidgetItem(cells.at(c)));
        }
        lstHistory->resizeColumnsToContents();
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(lstHistory, 1);
    resize(720, 360);
}

} // namespace corvane
