#pragma once

#include <QWidget>

class QPushButton;

namespace corvane {

class BrowserView;
class ReportWriter;
class ResultList;
class SettingsStore;

// The "Reports" tab: the HTML report of the last scan (or of the project just opened), "Save
// Report As" and "Save Tab Delimited".
class ReportsTab final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportsTab)

public:
    ReportsTab(ReportWriter& report, const ResultList& results, const SettingsStore& settings,
               bool withEngine, QWidget* parent = nullptr);

    // A local file, or "about:blank".
    void showReport(const QString& location);
    BrowserView* browser() const { return WebBrowser2; }

Q_SIGNALS:
    void messageRaised(const QString& text);

private:
    void saveReportAs();
    void saveTabDelimited();

    ReportWriter& m_report;
    const ResultList& m_results;
    const SettingsStore& m_settings;
    BrowserView* WebBrowser2;
    QPushButton* Command8;
    QPushButton* Command8a;
};

} // namespace corvane
