#include "ui/ReportsTab.h"

#include "output/ReportWriter.h"
#include "output/TabExport.h"
#include "ui/BrowserView.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"
#include "ui/WindowState.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

ReportsTab::ReportsTab(ReportWriter& report, const ResultList& results,
                       const SettingsStore& settings, bool withEngine, QWidget* parent)
    : QWidget(parent), m_report(report), m_results(results), m_settings(settings)
{
    Command8 = makeButton(this, QStringLiteral("Command8"), tr("Save Report As"),
                          tr("Save the report as an HTML file"));
    Command8a = makeButton(this, QStringLiteral("Command8a"), tr("Save Tab Delimited"),
                           tr("Save the results as a tab-delimited file"));
    WebBrowser2 = new BrowserView(QStringLiteral("WebBrowser2"), withEngine, this);
    WebBrowser2->setAccessibleName(tr("Report"));
    auto* bar = new QHBoxLayout;
    bar->addWidget(Command8);
    bar->addWidget(Command8a);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(WebBrowser2, 1);

    connect(Command8, &QPushButton::clicked, this, &ReportsTab::saveReportAs);
    connect(Command8a, &QPushButton::clicked, this, &ReportsTab::saveTabDelimited);
    connect(&m_report, &ReportWriter::reportGenerated, this, &ReportsTab::showReport);
}

void ReportsTab::showReport(const QString& location)
{
    WebBrowser2->navigate(location.startsWith(QStringLiteral("about:"))
                              ? QUrl(location)
                              : QUrl::fromLocalFile(location));
}

void ReportsTab::saveReportAs()
{
    const QString name = Dialogs::saveFileName(this, WindowState::startFolder(m_settings), QString(),
                                               ReportWriter::kSaveFilter);
    WindowState::rememberFile(m_settings, name);
    const WriteOutcome outcome = m_report.saveReportAs(
        name, [this](const QString& question) { return Dialogs::confirm(this, question); });
    if (outcome.failed())
        Q_EMIT messageRaised(outcome.message);
}

void ReportsTab::saveTabDelimited()
{
    const QString name = Dialogs::saveFileName(this, WindowState::startFolder(m_settings), QString(),
                                               TabExport::kSaveFilter);
    WindowState::rememberFile(m_settings, name);
    const WriteOutcome outcome = TabExport::save(
        m_results, name, [this](const QString& question) { return Dialogs::confirm(this, question); });
    if (outcome.failed())
        Q_EMIT messageRaised(outcome.message);
}

} // namespace corvane
