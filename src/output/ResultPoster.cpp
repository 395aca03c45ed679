#include "output/ResultPoster.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "web/TextSearch.h"

namespace corvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kHttp = QStringLiteral("http://");

// The sample row of the help messages.
const QString kSampleMain = QStringLiteral("yoursite.example");
const QString kSampleLinking = QStringLiteral("partnersite.example");
const QString kSamplePage = QStringLiteral("www.partnersite.example/links.htm");
const QString kSampleScript = QStringLiteral(
    "http://www.yoursite.example/getlinks.asp?mySite=$MainSite&&myURL=$LinkingSite&&"
    "myStatus=$Status&&myLinkPage=$FoundOn");

QString fillWithSample(const QString& script)
{
    return ResultPoster::fillTemplate(
        script, ResultPoster::encodeValue(kSampleMain), ResultPoster::encodeValue(kSamplePage),
        ResultPoster::encodeValue(kSampleLinking), QStringLiteral("True"));
}

} // namespace

ResultPoster::ResultPoster(const Project& project, SettingsStore& settings, NetworkContext& network,
                           QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_download(new DownloadText(network, this))
{
    connect(m_download, &DownloadText::finished, this, &ResultPoster::onDownloadFinished);
}

ResultPoster::~ResultPoster() = default;

QString ResultPoster::encodeValue(const QString& value)
{
    QString text = value;
    const bool hadHttp = text.contains(kHttp, Qt::CaseInsensitive);
    if (hadHttp)
        text.remove(kHttp, Qt::CaseInsensitive);
    const QString out = percentEncode(text);
    return hadHttp ? kHttp + out : out;
}

QString ResultPoster::percentEncode(const QString& text)
{
    QString out;
    for (const char byte : Windows1252::encode(text)) {
        const auto code = static_cast<unsigned char>(byte);
        if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')
            || (code >= 'a' && code <= 'z') || code == '*' || code == '-' || code == '.'
            || code == '_') {
            out += QLatin1Char(byte);
        } else if (code == ' ') {
            out += u'+';
        } else {
            out += QStringLiteral("%")
                + QString::number(code, 16).toUpper().rightJustified(2, u'0');
        }
    }
    return out;
}

std::optional<QString> ResultPoster::statusValue(const QString& status)
{
    if (status.contains(QStringLiteral("missing"), Qt::CaseInsensitive))
        return std::nullopt;
    return status.contains(QStringLiteral("direct"), Qt::CaseInsensitive) ? QStringLiteral("True")
                                                                          : QStringLiteral("False");
}

QString ResultPoster::fillTemplate(QString script, const QString& mainSite, const QString& foundOn,
                                   const QString& linkingSite, const QString& status,
                                   const QString& notes)
{
    script.replace(QStringLiteral("$MainSite"), mainSite, Qt::CaseInsensitive);
    script.replace(QStringLiteral("$FoundOn"), foundOn, Qt::CaseInsensitive);
    script.replace(QStringLiteral("$LinkingSite"), linkingSite, Qt::CaseInsensitive);
    script.replace(QStringLiteral("$Status"), status, Qt::CaseInsensitive);
    script.replace(QStringLiteral("$Notes"), notes, Qt::CaseInsensitive);
    return script;
}

QString ResultPoster::requestUrl(const QString& url)
{
    // Only a scheme at the start counts: a template without one whose values bring "http://"
    // along (an encoded "Found On" page) still needs it, and an https script keeps its own.
    const QString start = url.trimmed();
    if (start.startsWith(kHttp, Qt::CaseInsensitive)
        || start.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive))
        return url;
    return kHttp + url;
}

bool ResultPoster::isScriptUrl(const QString& url)
{
    QString rest = url.trimmed();
    for (const QString& scheme : {kHttp, QStringLiteral("https://")}) {
        if (rest.startsWith(scheme, Qt::CaseInsensitive))
            rest.remove(0, scheme.size());
    }
    return !rest.trimmed().isEmpty();
}

QList<ResultPoster::Request> ResultPoster::plan(const Project& project, int option)
{
    QList<Request> requests;
    const ResultList& results = project.results();
    const PostTargetList& targets = project.postTargets();
    for (int row = 0; row < results.count(); ++row) {
        const QString main = results.cell(row, ResultList::Main);
        QString script;
        if (option == 1) {
            const QString key = TextSearch::trimBlanks(main).toString();
            bool found = false;
            for (int t = 0; t < targets.count() && !found; ++t) {
                if (TextSearch::trimBlanks(targets.cell(t, PostTargetList::MainSite)) == key) {
                    script = targets.cell(t, PostTargetList::ScriptUrl);
                    found = true;
                }
            }
            if (!found || script.isEmpty() || script == QStringLiteral(" "))
                continue;
        } else {
            script = project.postSingle();
        }
        const QString linking = encodeValue(results.cell(row, ResultList::Remote));
        const QString foundOn = encodeValue(results.cell(row, ResultList::Url));
        const QString mainEncoded = encodeValue(main);
        const std::optional<QString> status = statusValue(results.cell(row, ResultList::Status));
        if (!status)
            continue;
        const QString notes = percentEncode(results.cell(row, ResultList::Notes));
        requests.append(
            {row + 1,
             requestUrl(fillTemplate(script, mainEncoded, foundOn, linking, *status, notes)),
             linking});
    }
    return requests;
}

bool ResultPoster::post()
{
    if (isRunning())
        return false;
    Q_EMIT logShown();
    if (m_project.results().isEmpty()) {
        Q_EMIT statusChanged(kNoResultsStatus);
        return false;
    }
    m_requests = plan(m_project, option());
    m_next = 0;
    sendNext();
    return true;
}

void ResultPoster::sendNext()
{
    if (m_next >= m_requests.size()) {
        m_next = -1;
        m_requests.clear();
        Q_EMIT postFinished();
        return;
    }
    const Request& r = m_requests.at(m_next);
    Q_EMIT statusChanged(QStringLiteral("Sending Site ") + QString::number(r.position)
                         + QStringLiteral(": ") + r.encodedLinkingSite);
    m_download->start(r.url);
}

void ResultPoster::onDownloadFinished(const DownloadResult& result)
{
    if (!isRunning())
        return;
    QString entry = kCrLf + QStringLiteral("URL: ") + m_requests.at(m_next).url + kCrLf;
    if (!result.text.isEmpty())
        entry += kCrLf + QStringLiteral("Returned: ") + result.text + kCrLf;
    appendLog(entry);
    // The request is taken out first: whoever hears of it may not find the run as it was.
    const Request done = m_requests.at(m_next);
    ++m_next;
    Q_EMIT requestFinished(done, result);
    if (!isRunning())
        return;
    sendNext();
}

void ResultPoster::appendLog(const QString& text)
{
    m_log += text;
    Q_EMIT logAppended(text);
}

int ResultPoster::option() const
{
    return m_settings.readInt(QStringLiteral("optScript"));
}

void ResultPoster::setOption(int option)
{
    m_settings.WriteSetting(QStringLiteral("optScript"), QString::number(option));
}

ResultPoster::ControlStates ResultPoster::controlStates(int option)
{
    const bool perSite = option == 1;
    return {!perSite, perSite, perSite, perSite, perSite, false};
}

bool ResultPoster::addTarget(PostTargetList& targets, const QString& mainSite,
                             const QString& scriptUrl)
{
    if (mainSite.isEmpty() || mainSite == QStringLiteral("Select"))
        return false;
    targets.appendTarget({mainSite, scriptUrl});
    return true;
}

void ResultPoster::removeTarget(PostTargetList& targets, int row)
{
    targets.removeAt(row);
}

QString ResultPoster::variablesText()
{
    return QStringLiteral("Where ever you place the following variables in your link, the software "
                          "will replace them with the actual results of your scan, and hit the "
                          "resulting url once, for each item in your results list.")
        + kCrLf + kCrLf + QStringLiteral("$MainSite - Inserts the Domain/URL of your Main Site ")
        + kCrLf + QStringLiteral("$LinkingSite - Inserts the Domain/URL from your Remote Site List")
        + kCrLf
        + QStringLiteral("$Status - Inserts 'True' if a reciprocal link was found, otherwise "
                         "inserts 'False'")
        + kCrLf
        + QStringLiteral("$FoundOn - Inserts the Domain/URL of the page a reciprocal link was "
                         "found on")
        + kCrLf
        + QStringLiteral("$Notes - Inserts how the link is made (nofollow, sponsored, ugc, a "
                         "noindex page, its text), empty when there is nothing to say")
        + kCrLf + kCrLf
        + QStringLiteral("These values will be URL Encoded in order to keep the integrity of the "
                         "posting link.");
}

QString ResultPoster::exampleText()
{
    return QStringLiteral(
               "Each place there is a variable (starting with a $) in your script URL it "
               "will be replaced by actual information from your results list.  The "
               "software will modify and hit your URL once for each item in your "
               "results list, triggering your script for each item.")
        + kCrLf + kCrLf
        + QStringLiteral("For example, if your results list contained the following four items:")
        + kCrLf + kCrLf + QStringLiteral("Main Site: ") + kSampleMain + kCrLf
        + QStringLiteral("Linking Site: ") + kSampleLinking + kCrLf
        + QStringLiteral("Status: Direct Link") + kCrLf + QStringLiteral("Actual Link URL: ")
        + kSamplePage + kCrLf + kCrLf + kSampleScript + kCrLf + QStringLiteral("would become")
        + kCrLf + fillWithSample(kSampleScript) + kCrLf + kCrLf
        + QStringLiteral(
               "By creating a script enabled page (getlinks.asp in the above example) you "
               "can grab the results from the URL when it is hit, and manipulate items "
               "in a link database or create an entire link page on the fly based on "
               "these values.");
}

QString ResultPoster::exampleTest(const QString& txtPost)
{
    if (txtPost.isEmpty() || txtPost == kHttp)
        return QStringLiteral("Enter a test URL in the first \"Script URL\" field and click this "
                              "button again to see it's variables replaced.");
    QString entered = txtPost;
    entered.replace(QStringLiteral("&"), QStringLiteral("&&"));
    QString filled = fillWithSample(entered);
    filled.replace(QStringLiteral("?"), QStringLiteral("?") + kCrLf);
    filled.replace(QStringLiteral("&&"), QStringLiteral("&&") + kCrLf);
    return QStringLiteral("If the same site existed in your results list, the URL you entered")
        + kCrLf + kCrLf + entered + kCrLf + QStringLiteral("would become") + kCrLf + kCrLf + filled
        + kCrLf + kCrLf + QStringLiteral("After replacing all variables in your URL.");
}

QString ResultPoster::exampleMessage(const QString& txtPost)
{
    return exampleText() + kCrLf + kCrLf + exampleTest(txtPost);
}

} // namespace corvane
