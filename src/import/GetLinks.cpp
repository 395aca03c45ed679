#include "import/GetLinks.h"

#include "import/LinkExtraction.h"
#include "import/SiteImporter.h"
#include "model/SettingsStore.h"
#include "net/DownloadText.h"
#include "web/TextSearch.h"

#include <algorithm>

namespace corvane {

GetLinksRequest GetLinksRequest::fromSettings(const SettingsStore& settings)
{
    GetLinksRequest r;
    r.option = settings.readInt(GetLinksSettings::OptionKey, 0) == 1 ? Script : LinkPage;
    r.linkPageUrl = settings.ReadSetting(GetLinksSettings::LinkPageUrlKey);
    r.scriptUrl = settings.ReadSetting(GetLinksSettings::ScriptUrlKey);
    const QStringList captions = LinkExtraction::delimiterCaptions();
    // A value the box has no entry for (an edited settings file) selects nothing.
    const int index = settings.readInt(GetLinksSettings::DelimiterKey, -1);
    if (index >= 0 && index < captions.size()) {
        r.delimiterIndex = index;
        r.delimiterText = captions.at(index);
    } else {
        r.delimiterIndex = -1;
        r.delimiterText = LinkExtraction::DelimiterPrompt;
    }
    return r;
}

namespace GetLinksSettings {

void storeOption(SettingsStore& settings, int option)
{
    settings.WriteSetting(OptionKey, QString::number(option));
}

void storeLinkPageUrl(SettingsStore& settings, const QString& url)
{
    settings.WriteSetting(LinkPageUrlKey, url);
}

void storeScriptUrl(SettingsStore& settings, const QString& url)
{
    settings.WriteSetting(ScriptUrlKey, url);
}

void storeDelimiterIndex(SettingsStore& settings, int index)
{
    settings.WriteSetting(DelimiterKey, QString::number(index < 0 ? -1 : index));
}

} // namespace GetLinksSettings

GetLinks::GetLinks(NetworkContext& network, QObject* parent)
    : QObject(parent),
      m_results(std::make_unique<RecordTableModel>(QStringList{QStringLiteral("Link URL")})),
      m_download(new DownloadText(network, this))
{
    connect(m_download, &DownloadText::finished, this, &GetLinks::onDownloadFinished);
}

GetLinks::~GetLinks() = default;

QStringList GetLinks::rows() const
{
    QStringList out;
    out.reserve(m_results->count());
    for (int row = 0; row < m_results->count(); ++row)
        out.append(m_results->cell(row, 0));
    return out;
}

void GetLinks::setStatus(const QString& text)
{
    m_status = text;
    Q_EMIT statusChanged(text);
}

void GetLinks::abort()
{
    m_download->abort();
    m_running = false;
}

void GetLinks::setIdleTimeout(int milliseconds)
{
    if (milliseconds > 0)
        m_download->setIdleTimeout(milliseconds);
}

void GetLinks::start(const GetLinksRequest& request)
{
    // A second click while a download runs abandons it; its answer is never used.
    abort();
    m_results->clear();
    m_request = request;
    m_downloadError.clear();
    m_httpStatus = 0;
    m_answerEmpty = true;

    QString url;
    if (request.option == GetLinksRequest::Script) {
        const std::optional<QString> delimiter
            = LinkExtraction::delimiterFor(request.delimiterIndex, request.delimiterText);
        if (!delimiter) {
            Q_EMIT messageRaised(QStringLiteral("You must select a delimiter first"));
            return;
        }
        m_delimiter = *delimiter;
        url = request.scriptUrl;
    } else {
        url = request.linkPageUrl;
    }
    m_running = true;
    setStatus(QStringLiteral("Conecting to ") + url);
    m_download->start(url);
}

void GetLinks::onDownloadFinished(const DownloadResult& result)
{
    if (!m_running)
        return;
    m_running = false;
    m_downloadError = result.error;
    m_httpStatus = result.httpStatus;
    m_answerEmpty = result.body.isEmpty();

    QStringList entries;
    if (m_request.option == GetLinksRequest::Script) {
        entries = LinkExtraction::scriptEntries(result.text, m_delimiter);
    } else {
        entries = LinkExtraction::linkPageEntries(result.text, m_request.linkPageUrl);
        for (int n = 1; n <= entries.size(); ++n)
            setStatus(QStringLiteral("Extracted ") + QString::number(n)
                      + QStringLiteral(" link(s)"));
    }

    int added = 0;
    for (const QString& entry : std::as_const(entries)) {
        m_results->append({{TextSearch::trimBlanks(entry).toString()}, SiteColour::Black, 0});
        ++added;
        setStatus(QStringLiteral("Added ") + QString::number(added) + QStringLiteral(" link(s)"));
    }
    setStatus(QStringLiteral("Finished Downloading - ") + QString::number(added)
              + QStringLiteral(" links found."));
    Q_EMIT finished(added);
}

int GetLinks::addSelected(Project& project, QList<int> rows) const
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList urls;
    for (const int row : std::as_const(rows)) {
        if (row >= 0 && row < m_results->count())
            urls.append(m_results->cell(row, 0));
    }
    return SiteImporter::addLinkingSites(project, urls);
}

} // namespace corvane
