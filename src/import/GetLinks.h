#pragma once

#include "model/RecordTableModel.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace corvane {

class DownloadText;
class NetworkContext;
class Project;
class SettingsStore;
struct DownloadResult;

// What the "Import Linking Sites" window holds when Get Links is clicked.
struct GetLinksRequest {
    enum Option { LinkPage = 0, Script = 1 };
    int option = LinkPage;   // Option1
    QString linkPageUrl;     // Text1: the user's link page (option 0)
    QString scriptUrl;       // Text2: the script printing delimited domains (option 1)
    int delimiterIndex = -1; // Combo1 entry, -1 for a typed delimiter
    QString delimiterText;   // Combo1 text

    // The window's state as it opens: the stored option, both URLs and the stored Combo1 entry.
    // A typed delimiter is not stored, so without an entry the box shows its prompt.
    static GetLinksRequest fromSettings(const SettingsStore& settings);
};

// The settings the window writes as the user changes it.
namespace GetLinksSettings {
inline const QString OptionKey = QStringLiteral("getUrlOption");
inline const QString LinkPageUrlKey = QStringLiteral("getURL1");
inline const QString ScriptUrlKey = QStringLiteral("getURL2");
inline const QString DelimiterKey = QStringLiteral("getURLCombo");
void storeOption(SettingsStore& settings, int option);
void storeLinkPageUrl(SettingsStore& settings, const QString& url);
void storeScriptUrl(SettingsStore& settings, const QString& url);
// The chosen Combo1 entry, -1 when the user typed a delimiter.
void storeDelimiterIndex(SettingsStore& settings, int index);
} // namespace GetLinksSettings

// Get Links: downloads the user's link page (option 0) or the script's output (option 1) and
// fills the result list (ListView1, one column "Link URL") with the links it offers. The
// download never blocks; the rows arrive from its finished signal. A new start abandons the
// previous one and empties the list first.
class GetLinks final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GetLinks)

public:
    explicit GetLinks(NetworkContext& network, QObject* parent = nullptr);
    ~GetLinks() override;

    RecordTableModel& results() { return *m_results; }
    const RecordTableModel& results() const { return *m_results; }
    QStringList rows() const;

    void start(const GetLinksRequest& request);
    void abort();
    // The download is given up after this long without data (and after five times it in all).
    void setIdleTimeout(int milliseconds);
    bool isRunning() const { return m_running; }
    QString statusText() const { return m_status; }
    // Why the last download got no answer; empty when it got one. The list then stays empty.
    QString downloadError() const { return m_downloadError; }
    // The HTTP status of the last answer (0 when there was none), and whether it had a body.
    int httpStatus() const { return m_httpStatus; }
    bool answerWasEmpty() const { return m_answerEmpty; }

    // Add Selected: the given result rows (0-based, any order) in list order, as Linking Sites of
    // the Main Site current now. Empty and single-space rows are left out. The rows stay.
    int addSelected(Project& project, QList<int> rows) const;

Q_SIGNALS:
    // The text of the window's status panel.
    void statusChanged(const QString& text);
    // A message box text (OK button only).
    void messageRaised(const QString& text);
    void finished(int rowCount);

private:
    void setStatus(const QString& text);
    void onDownloadFinished(const DownloadResult& result);

    std::unique_ptr<RecordTableModel> m_results;
    DownloadText* m_download = nullptr;
    GetLinksRequest m_request;
    QString m_delimiter;
    QString m_status;
    QString m_downloadError;
    int m_httpStatus = 0;
    bool m_answerEmpty = true;
    bool m_running = false;
};

} // namespace corvane
