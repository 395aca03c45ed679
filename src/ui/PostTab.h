#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace corvane {

struct DownloadResult;
class MainSiteList;
class NetworkContext;
class PostLogWindow;
class Project;
class RecordListView;
class ResultPoster;
class SettingsStore;

// The "Post" tab: where the results are posted (one script URL for all, or one per Main Site),
// the per-site list with Add and Del, "Post Links Now", and the two help messages. A run goes on
// while the window stays usable; its progress shows in the main window's status bar and every
// request and answer in the log window Form5.
class PostTab final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PostTab)

public:
    PostTab(Project& project, SettingsStore& settings, NetworkContext& network,
            QWidget* parent = nullptr);
    ~PostTab() override;

    // Empties the Main Site selector and fills it with the Main Sites in list order; a site
    // chosen before stays chosen.
    void refill(const MainSiteList& mainSites);
    QComboBox* selector() const { return cmbSites; }
    // A new or opened project: the selector empty, the per-site script URL back to "http://".
    void clearEntries();
    ResultPoster& poster() const { return *m_poster; }
    // The log window while it is open; nullptr before the first run and after it was closed.
    PostLogWindow* logWindow() const;

    // Why a request's answer counts as failed ("404 Not Found", "Timeout"); empty when the
    // script took it.
    static QString failureOf(const DownloadResult& result);
    // "4 sent", "4 sent, 1 failed: 404 Not Found".
    static QString runSummary(int sent, const QStringList& failures);

Q_SIGNALS:
    // The first panel of the main window's status bar.
    void statusChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setOption(int option);
    void addTarget();
    void deleteTarget();
    void showLog();

    Project& m_project;
    ResultPoster* m_poster;
    QPointer<PostLogWindow> m_log;
    int m_sent = 0;
    QStringList m_failures;

    QGroupBox* framePost;
    QRadioButton* optScript[2];
    QLineEdit* txtPost;
    QComboBox* cmbSites;
    QLineEdit* txtPost2;
    QPushButton* cmdScriptAdd;
    QPushButton* cmdScriptDel;
    RecordListView* lstMulti;
    QPushButton* cmdPost;
    QPushButton* cmdExample;
    QPushButton* cmdVariables;
};

} // namespace corvane
