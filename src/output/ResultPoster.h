#pragma once

#include "net/DownloadText.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace corvane {

class NetworkContext;
class PostTargetList;
class Project;
class SettingsStore;

// Sends the results to a script on the user's own web server: for every result row the script
// URL template gets the row's values (URL-encoded) in place of "$MainSite", "$FoundOn",
// "$LinkingSite" and "$Status", and the resulting URL is requested once. Requests go one after
// another through DownloadText; the event loop keeps running in between, so the window stays
// responsive. Each request and each non-empty answer is logged.
class ResultPoster final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultPoster)

public:
    // One planned request. The status-bar text names the row by its 1-based position.
    struct Request {
        int position = 0;           // 1-based row of the results list
        QString url;                // as requested (requestUrl)
        QString encodedLinkingSite; // for the status-bar text
    };

    struct ControlStates {
        bool txtPost, lstMulti, cmbSites, txtPost2, cmdScriptAdd, cmdScriptDel;
    };

    ResultPoster(const Project& project, SettingsStore& settings, NetworkContext& network,
                 QObject* parent = nullptr);
    ~ResultPoster() override;

    // Post Links Now. The rows are taken as they are when the run starts. Returns false when
    // nothing is sent: an empty results list (the status text says so) or a run in progress.
    bool post();
    bool isRunning() const { return m_next >= 0; }

    // The log text of the runs since the last clearLog (the log window keeps it while open).
    const QString& log() const { return m_log; }
    void clearLog() { m_log.clear(); }

    // "optScript": 0 one URL for all rows, 1 a URL per Main Site.
    int option() const;
    void setOption(int option);
    static ControlStates controlStates(int option);

    // The requests a run makes, in results-list order; skipped rows are left out.
    static QList<Request> plan(const Project& project, int option);
    static QString encodeValue(const QString& value);
    // Every byte but letters, digits and "*-._" percent-encoded, blanks as "+"; nothing else done.
    static QString percentEncode(const QString& text);
    // "True" or "False"; nothing for a row that is not posted ("missing" in its status).
    static std::optional<QString> statusValue(const QString& status);
    // The template with the variables replaced, names matched in any letter case, in the
    // order "$MainSite", "$FoundOn", "$LinkingSite", "$Status", "$Notes".
    static QString fillTemplate(QString script, const QString& mainSite, const QString& foundOn,
                                const QString& linkingSite, const QString& status,
                                const QString& notes = {});
    // The URL as requested and logged: "http://" put in front unless it begins with "http://" or
    // "https://" (any letter case).
    static QString requestUrl(const QString& url);
    // Whether a script URL names a script at all: not empty, and more than a scheme ("http://",
    // the text a new project starts with). Requests to such a URL go nowhere.
    static bool isScriptUrl(const QString& url);

    // Add of the per-site list: refused while the Main Site selector reads "Select" or nothing.
    static bool addTarget(PostTargetList& targets, const QString& mainSite,
                          const QString& scriptUrl);
    static void removeTarget(PostTargetList& targets, int row);

    // The two help messages. Sample sites: yoursite.example with partner partnersite.example.
    static inline const QString kVariablesTitle = QStringLiteral("URL Variables");
    static inline const QString kExampleTitle = QStringLiteral("URL Example");
    static QString variablesText();
    static QString exampleText();
    // The test of the user's own template (txtPost), or the hint when there is none.
    static QString exampleTest(const QString& txtPost);
    // What "View Example" shows: the example, a blank line, the test.
    static QString exampleMessage(const QString& txtPost);

    static inline const QString kNoResultsStatus
        = QStringLiteral("You must perform a scan for reciprocal links first");

Q_SIGNALS:
    // Post Links Now was chosen: the log window is opened (if needed) and shown.
    void logShown();
    // The first status-bar panel of the main window.
    void statusChanged(const QString& text);
    // Text appended to the log; the log window moves its caret to the end.
    void logAppended(const QString& text);
    // One request of the run has its answer (or failed: result.ok() is false).
    void requestFinished(const corvane::ResultPoster::Request& request,
                         const corvane::DownloadResult& result);
    void postFinished();

private:
    void sendNext();
    void onDownloadFinished(const corvane::DownloadResult& result);
    void appendLog(const QString& text);

    const Project& m_project;
    SettingsStore& m_settings;
    DownloadText* m_download;
    QList<Request> m_requests;
    qsizetype m_next = -1; // index into m_requests of the request in flight; -1 when idle
    QString m_log;
};

} // namespace corvane
