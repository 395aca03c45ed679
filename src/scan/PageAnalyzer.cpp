#include "scan/PageAnalyzer.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "scan/DownloadText.h"
#include "scan/ScanStatistics.h"
#include "scan/UrlTools.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>

namespace corvane {

namespace {

const QString kHref = QStringLiteral("href=");
const QString kWww = QStringLiteral("www.");

const QString kPossibleRedirect = QStringLiteral("Possible Redirected URL");
const QString kSourceProtected = QStringLiteral("Source Protected");
const QString kScriptError = QStringLiteral("Server Script Error");
const QString kRuleProblem = QStringLiteral("Possible Rule Problem");

// Compared with case-folded text, so written folded.
const QString kJavascript = QStringLiteral("javascript");
const QString kMailto = QStringLiteral("mailto");
const QString kFileScheme = QStringLiteral("file://");
const QString kUnsaved = QStringLiteral("unsaved:");
constexpr QByteArrayView kHrefBytes = "href=";
constexpr QByteArrayView kProtectionNotice = "you are seeing this text because";
constexpr QByteArrayView kPhpTag = "<?php";
// What marks a server's "moved" page.
constexpr QByteArrayView kRedirectMarkers[] = {
    "302 found",
    "301 moved permanently",
    "<title>document moved</title>",
    "<title>object moved</title>",
};

// The blanks after "href=" go in passes of eight, seven, ... one blank, each pass at most once per
// attribute: together at most 36 of them.
constexpr int kMaxDroppedBlanks = 36;

// Letter case is ignored the way every text test of the scan ignores it: one UTF-16 unit at a
// time, so positions in the folded text are positions in the original.
char16_t foldUnit(char16_t u)
{
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') ? char16_t(u + (u'a' - u'A')) : u;
    if (QChar::isSurrogate(u))
        return u;
    const char32_t folded = QChar::toCaseFolded(char32_t(u));
    return folded <= 0xFFFF ? char16_t(folded) : u;
}

QString foldText(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const QChar ch : text)
        *dst++ = QChar(foldUnit(ch.unicode()));
    return out;
}

// The page is searched as bytes: each character folded, and written as its Latin-1 byte, or as
// 0 when the folded character has none. A needle whose folded characters all have a byte other
// than 0 then matches the bytes exactly where it matches the text; other needles are looked for
// in the text itself.
const std::array<char, 256>& foldedByteTable()
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int c = 0; c < 256; ++c) {
            const char16_t folded = foldUnit(char16_t(c));
            t[std::size_t(c)] = folded < 256 ? char(folded) : '\0';
        }
        return t;
    }();
    return table;
}

// In one pass: the text folded for searching, and the text in the page files' code page.
void foldAndEncode(QStringView text, QByteArray& folded, QByteArray& encoded)
{
    const std::array<char, 256>& table = foldedByteTable();
    folded.resize(text.size());
    encoded.resize(text.size());
    char* f = folded.data();
    char* e = encoded.data();
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u < 0x100)) {
            // The code page agrees with Latin-1 here.
            *f++ = table[u];
            *e++ = char(u);
        } else {
            const char16_t lower = foldUnit(u);
            *f++ = lower < 256 ? char(lower) : '\0';
            *e++ = Windows1252::encode(QStringView(&ch, 1)).at(0);
        }
    }
}

std::optional<QByteArray> foldedNeedle(QStringView needle)
{
    QByteArray out(needle.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (const QChar ch : needle) {
        const char16_t folded = foldUnit(ch.unicode());
        if (folded == 0 || folded >= 256)
            return std::nullopt;
        *dst++ = char(folded);
    }
    return out;
}

qsizetype findBytes(const QByteArray& haystack, QByteArrayView needle, qsizetype from = 0)
{
    if (from > haystack.size())
        return -1;
    if (needle.isEmpty())
        return from;
    const void* hit = memmem(haystack.constData() + from, std::size_t(haystack.size() - from),
                             needle.data(), std::size_t(needle.size()));
    return hit ? static_cast<const char*>(hit) - haystack.constData() : -1;
}

// A substring test for the short texts of one link, without the set-up cost of a text search.
bool has(QStringView text, QStringView part)
{
    return std::u16string_view(text.utf16(), std::size_t(text.size()))
               .find(std::u16string_view(part.utf16(), std::size_t(part.size())))
           != std::u16string_view::npos;
}

// Blanks only, as the page text is trimmed everywhere (tabs stay).
QStringView trimBlanks(QStringView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from) == u' ')
        ++from;
    while (to > from && text.at(to - 1) == u' ')
        --to;
    return text.mid(from, to - from);
}

void cutBefore(QString& text, QChar c)
{
    const qsizetype at = text.indexOf(c);
    if (at >= 0)
        text.truncate(at);
}

// A line ends at CR LF, at a lone CR or at a lone LF: pages from Unix hosts end their lines with
// LF, and an LF kept inside a line would end up inside link values.
qsizetype lineEndIn(QStringView text, qsizetype from, qsizetype limit)
{
    const QChar* p = text.data();
    for (qsizetype i = from; i < limit; ++i) {
        const char16_t c = p[i].unicode();
        if (c == u'\r' || c == u'\n')
            return i;
    }
    return limit;
}

// The link value of a line "href=" + rest, where rest holds no further "href=": up to the first
// quote or ">" that is not the line's last character, else the line less its last two
// characters; without its "href=", trimmed, and cut at a blank. None when the cut-out with its
// "href=" is shorter than six characters.
std::optional<QString> cutValue(QStringView rest)
{
    // "href=" followed by a double quote, then by an apostrophe, becomes "href=".
    if (rest.startsWith(u'"'))
        rest = rest.mid(1);
    if (rest.startsWith(u'\''))
        rest = rest.mid(1);
    qsizetype cut = -1;
    for (qsizetype i = 0; i + 1 < rest.size(); ++i) {
        const QChar c = rest.at(i);
        if (c == u'\'' || c == u'"' || c == u'>') {
            cut = i;
            break;
        }
    }
    const QStringView part = cut >= 0 ? rest.first(cut) : rest.first(std::max<qsizetype>(rest.size() - 2, 0));
    if (part.isEmpty())
        return std::nullopt;
    QStringView v = trimBlanks(part);
    const qsizetype blank = v.indexOf(u' ');
    if (blank >= 0)
        v = v.first(blank);
    return v.toString();
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    // Written over the old copy and then cut to length, not emptied first: emptying a file and
    // writing it again makes some file systems (ext4) flush it at once, which costs a hundred
    // times the write.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    const bool longer = file.size() > bytes.size();
    return file.write(bytes) == bytes.size() && (!longer || file.resize(bytes.size()));
}

} // namespace

// The page text with what the analysis needs to know about it. The text is kept as it came;
// the rewriting that puts every "href=" on a line of its own is described by where each "href="
// is and where its value starts once the blanks after it are gone.
struct PageAnalyzer::PageText {
    struct Href {
        qsizetype at = 0;    // the "href=" in the text
        qsizetype value = 0; // what follows it on its line
    };

    QString body;
    QByteArray folded;  // for the searches that ignore letter case
    QByteArray encoded; // the body as the page files hold it
    QList<Href> hrefs;
    qsizetype marker = -1; // the first redirect marker, when looked for and found

    explicit PageText(QString text) : body(std::move(text))
    {
        foldAndEncode(body, folded, encoded);
        // Found by their "=", far rarer in a page than any letter.
        const char* const bytes = folded.constData();
        const qsizetype size = folded.size();
        qsizetype from = 0;
        for (qsizetype search = kHrefBytes.size() - 1; search < size;) {
            const void* hit = std::memchr(bytes + search, '=', std::size_t(size - search));
            if (!hit)
                break;
            const qsizetype equals = static_cast<const char*>(hit) - bytes;
            search = equals + 1;
            const qsizetype at = equals - (kHrefBytes.size() - 1);
            if (at < from || std::memcmp(bytes + at, kHrefBytes.data(), std::size_t(kHrefBytes.size())) != 0)
                continue;
            qsizetype value = at + kHrefBytes.size();
            for (int blanks = 0; value < body.size() && blanks < kMaxDroppedBlanks && body.at(value) == u' ';
                 ++blanks)
                ++value;
            hrefs.append({at, value});
            from = value;
            search = std::max(search, value);
        }
    }

    // The page contains the text, letter case ignored.
    bool contains(const QString& needle) const
    {
        if (const std::optional<QByteArray> bytes = foldedNeedle(needle))
            return findBytes(folded, *bytes) >= 0;
        return body.contains(needle, Qt::CaseInsensitive);
    }

    void findMarker()
    {
        for (const QByteArrayView m : kRedirectMarkers) {
            const qsizetype at = findBytes(folded, m);
            if (at >= 0 && (marker < 0 || at < marker))
                marker = at;
        }
    }

    // The first line ends at the first line end or where the first "href=" starts a new line.
    qsizetype firstLineEnd() const
    {
        return lineEndIn(body, 0, hrefs.isEmpty() ? body.size() : hrefs.first().at);
    }
    // The line that starts with "href=" number k ends at a line end or at the next "href=".
    qsizetype lineEnd(qsizetype k) const
    {
        const qsizetype limit = k + 1 < hrefs.size() ? hrefs.at(k + 1).at : body.size();
        return lineEndIn(body, hrefs.at(k).value, limit);
    }
    // What follows "href=" on line k.
    QStringView rest(qsizetype k, qsizetype end) const
    {
        return QStringView(body).mid(hrefs.at(k).value, end - hrefs.at(k).value);
    }
};

PageAnalyzer::PageAnalyzer(Project& project, SettingsStore& settings, ScanStatistics& statistics,
                           AppFolder app, NetworkContext& network, QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_statistics(statistics),
      m_app(std::move(app)),
      m_rules(settings, m_app),
      m_download(new DownloadText(network, this))
{
    connect(m_download, &DownloadText::finished, this, &PageAnalyzer::onDownloadFinished);
}

PageAnalyzer::~PageAnalyzer()
{
    disconnect(m_download, nullptr, this, nullptr);
    m_download->abort();
}

QString PageAnalyzer::rewriteHrefs(QStringView text)
{
    const PageText page(text.toString());
    QString out;
    out.reserve(text.size() + 2 * page.hrefs.size());
    qsizetype pos = 0;
    for (const PageText::Href& h : page.hrefs) {
        out.append(text.mid(pos, h.at - pos));
        out.append(QStringLiteral("\r\nhref="));
        pos = h.value;
    }
    out.append(text.mid(pos));
    return out;
}

std::optional<QString> PageAnalyzer::linkValue(QStringView line)
{
    const qsizetype at = line.indexOf(kHref, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    const QStringView rest = line.mid(at + kHref.size());
    // Every line of a rewritten page holds one "href=" at most.
    if (!rest.contains(kHref, Qt::CaseInsensitive))
        return cutValue(rest);

    QString s = line.mid(at).toString();
    s.replace(QStringLiteral("href=\""), kHref, Qt::CaseInsensitive);
    s.replace(QStringLiteral("href='"), kHref, Qt::CaseInsensitive);
    const qsizetype length = s.size();
    qsizetype cut = -1;
    for (qsizetype i = 0; i < length - 1; ++i) {
        const QChar c = s.at(i);
        if (c == u'\'' || c == u'"' || c == u'>') {
            cut = i;
            break;
        }
    }
    QString v = cut >= 0 ? s.left(cut) : s.left(std::max<qsizetype>(length - 2, 0));
    if (v.size() < 6)
        return std::nullopt;
    v.remove(kHref, Qt::CaseInsensitive);
    v = trimBlanks(v).toString();
    cutBefore(v, u' ');
    return v;
}

QString PageAnalyzer::redirectTarget(QStringView line)
{
    QString target = line.toString();
    cutBefore(target, u' ');
    cutBefore(target, u'<');
    cutBefore(target, u'>');
    target.remove(kHref, Qt::CaseInsensitive);
    target.remove(QStringLiteral(">here</a></body"), Qt::CaseInsensitive);
    target.remove(u'"');
    target.remove(u'\'');
    target.remove(u' ');
    return target;
}

QString PageAnalyzer::cleanPageUrl(QString url)
{
    // Every text removed holds "://", so a URL without it is only trimmed.
    if (has(url, u"://")) {
        static const QString remnants[] = {
            QStringLiteral("http://www."), QStringLiteral("http://"), QStringLiteral("ttp://www"),
            QStringLiteral("ttp://ww"),    QStringLiteral("ttp://w"), QStringLiteral("ttp://"),
            QStringLiteral("tp://"),       QStringLiteral("p://"),    QStringLiteral("://"),
        };
        for (const QString& remnant : remnants)
            url.remove(remnant, Qt::CaseInsensitive);
    }
    const QStringView trimmed = trimBlanks(url);
    if (trimmed.size() != url.size())
        return trimmed.toString();
    return url;
}

QString PageAnalyzer::serialText(qint64 serial)
{
    QString text = QString::number(serial);
    while (text.size() < 3)
        text.prepend(u'0');
    return text;
}

bool PageAnalyzer::stillCurrent(quint64 epoch) const
{
    return m_project.state().bScanRunning && epoch == m_epoch;
}

void PageAnalyzer::AnalyzePage(QString body, const FetchedPage& page, quint64 generation)
{
    ScanState& st = m_project.state();
    if (!st.bScanRunning)
        return;
    const quint64 epoch = m_epoch;
    PageText text(std::move(body));

    // The warnings, in this order: a later one replaces the reason an earlier one gave.
    if (text.contains(st.strMainSite)) {
        st.bRedirectFound = true;
        st.strProblem = kPossibleRedirect;
        st.strRedirectUrl = page.strCurUrl;
    }
    if (findBytes(text.folded, kProtectionNotice) >= 0)
        st.strProblem = kSourceProtected;
    if (findBytes(text.folded, kPhpTag) >= 0)
        st.strProblem = kScriptError;
    // A downloaded redirect target is read as ordinary text, so one redirect is followed at most.
    if (!bEmulate)
        text.findMarker();

    Q_EMIT statusChanged(2, QStringLiteral("Saving to HTML"));
    if (!stillCurrent(epoch))
        return;
    writePageFiles(text, page.slot);
    extractLinks(text, page, generation, epoch);
}

void PageAnalyzer::writePageFiles(const PageText& text, int slot) const
{
    // A copy that cannot be written is no reason to stop: the links are taken from memory.
    const QByteArray& bytes = text.encoded;
    QByteArray page;
    page.reserve(bytes.size() + 7 * text.hrefs.size() + 2);
    qsizetype pos = 0;
    for (const PageText::Href& h : text.hrefs) {
        page.append(QByteArrayView(bytes).sliced(pos, h.at - pos));
        page.append("\r\nhref=");
        pos = h.value;
    }
    page.append(QByteArrayView(bytes).sliced(pos));
    page.append("\r\n");
    writeWhole(m_app.file(QStringLiteral("html%1.txt").arg(slot)), page);

    // The same text in one line.
    QByteArray flat(page.size(), Qt::Uninitialized);
    char* dst = flat.data();
    const char* src = page.constData();
    const char* const end = src + page.size() - 2;
    const auto next = [end](const char* from, char c) {
        const void* hit = std::memchr(from, c, std::size_t(end - from));
        return hit ? static_cast<const char*>(hit) : end;
    };
    const char* cr = next(src, '\r');
    const char* lf = next(src, '\n');
    while (src < end) {
        const char* stop = std::min(cr, lf);
        std::memcpy(dst, src, std::size_t(stop - src));
        dst += stop - src;
        if (stop == end)
            break;
        src = stop + 1;
        if (stop == cr)
            cr = next(src, '\r');
        else
            lf = next(src, '\n');
    }
    *dst++ = '\r';
    *dst++ = '\n';
    flat.truncate(dst - flat.constData());
    writeWhole(m_app.file(QStringLiteral("html2%1.txt").arg(slot)), flat);
}

void PageAnalyzer::extractLinks(const PageText& text, const FetchedPage& page,
                                quint64 generation, quint64 epoch)
{
    Q_EMIT statusChanged(2, QStringLiteral("Getting Links"));
    if (!stillCurrent(epoch))
        return;
    const ScanState& st = m_project.state();
    const bool fileTypesOff = m_settings.ReadSetting(QStringLiteral("chkFileTypes")) != u"1";
    foldFileTypes();
    const auto enoughLinks = [&st, this] {
        return !st.bScanRunning || lSiteLinks >= st.iLinksExpected;
    };

    // The lines are read in order and the reading stops once enough links are found, but only
    // the lines that start with "href=" hold a link, and only the line with the first redirect
    // marker can end the reading otherwise: so those are the lines visited. The first line never
    // holds a link (every "href=" starts a line of its own), yet it is always read.
    const qsizetype count = text.hrefs.size();
    qsizetype redirectFrom = -1; // the first line with "href=" from the marker's line on
    if (enoughLinks()) {
        if (text.marker >= 0 && text.marker < text.firstLineEnd())
            redirectFrom = 0;
    } else {
        bool stopped = false;
        for (qsizetype k = 0; k < count; ++k) {
            const qsizetype end = text.lineEnd(k);
            if (text.marker >= 0 && text.marker < end) {
                redirectFrom = k;
                break;
            }
            if (!examineLink(text.rest(k, end), page, fileTypesOff, epoch))
                return;
            if (enoughLinks()) {
                stopped = true;
                break;
            }
        }
        if (!stopped && redirectFrom < 0 && text.marker >= 0)
            redirectFrom = count;
    }
    if (redirectFrom >= 0) {
        followRedirect(text, redirectFrom, page, generation, epoch);
        return;
    }

    Q_EMIT statusChanged(2, QString());
    bEmulate = false;
    if (!stillCurrent(epoch))
        return;
    const bool redirectOutcome = m_settings.isOn(QStringLiteral("chkRedirect"))
                                 && st.bRedirectFound && !st.bLinkFound;
    Q_EMIT analysisFinished(page.slot, generation,
                            redirectOutcome ? Continuation::AdvanceSite : Continuation::NextPage);
}

bool PageAnalyzer::examineLink(QStringView rest, const FetchedPage& page, bool fileTypesOff,
                               quint64 epoch)
{
    const std::optional<QString> cut = cutValue(rest);
    if (!cut)
        return true;
    QString v = *cut;
    const QString folded = foldText(v);
    if (has(folded, kJavascript) || has(folded, kMailto))
        return true;

    ScanState& st = m_project.state();
    bool accepted = fileTypesOff || v.endsWith(u'/') || (!v.contains(u'.') && v.contains(u'?'));
    if (!accepted) {
        for (const QString& type : std::as_const(m_fileTypesFolded)) {
            if (has(folded, type)) {
                accepted = true;
                break;
            }
        }
    }
    if (!accepted) {
        // Not a page to follow, but it may still name the Main Site.
        if (UrlTools::IsDirectLink(v, st.strMainSite))
            return recordLink(LinkStatus::Direct, page, epoch);
        return true;
    }

    if (has(folded, kFileScheme) || has(folded, kUnsaved) || folded.contains(u'#'))
        return true;
    v = UrlTools::ResolveLink(v, page.strHost, page.strCurDir);
    // A value ending in ".." names no page.
    if (v.isEmpty())
        return true;
    if (!passesRules(v)) {
        st.strProblem = kRuleProblem;
        if (UrlTools::IsDirectLink(v, st.strMainSite))
            return recordLink(LinkStatus::Direct, page, epoch);
        return true;
    }

    if (!IsKnownPage(v) && UrlTools::IsInLinkingSiteDomain(v, linkingSiteDomain())) {
        ++st.lPagesKnown;
        m_statistics.CountScanEvent(ScanStatistics::PageQueued);
        if (!stillCurrent(epoch))
            return false;
        m_project.pageQueue().enqueue(v);
        aQueuedPages.append(v);
        m_queuedKeys.insert(v.toLower());
    }

    if (UrlTools::IsDirectLink(v, st.strMainSite))
        return recordLink(LinkStatus::Direct, page, epoch);
    if (isDomainLink(v))
        return recordLink(LinkStatus::Domain, page, epoch);
    return true;
}

bool PageAnalyzer::isDomainLink(const QString& url)
{
    const QString& mainSite = m_project.state().strMainSite;
    if (mainSite != m_domainMainSite || m_domainByHost.size() > 4096) {
        m_domainMainSite = mainSite;
        m_domainByHost.clear();
        m_lastDomainKnown = false;
    }
    // Without a scheme the answer depends on the host alone, and most links of a site share a
    // few hosts.
    if (url.contains(u':'))
        return UrlTools::IsDomainLink(url, mainSite);
    const qsizetype slash = url.indexOf(u'/');
    const QStringView hostView = slash >= 0 ? QStringView(url).left(slash) : QStringView(url);
    if (m_lastDomainKnown && hostView == m_lastDomainHost)
        return m_lastDomainAnswer;
    const QString host = hostView.toString();
    m_lastDomainHost = host;
    m_lastDomainKnown = true;
    const auto known = m_domainByHost.constFind(host);
    if (known != m_domainByHost.cend()) {
        m_lastDomainAnswer = *known;
        return *known;
    }
    const bool domain = UrlTools::IsDomainLink(host, mainSite);
    m_domainByHost.insert(host, domain);
    m_lastDomainAnswer = domain;
    return domain;
}

bool PageAnalyzer::recordLink(const QString& status, const FetchedPage& page, quint64 epoch)
{
    ScanState& st = m_project.state();
    ++lSiteLinks;
    if (st.iLinksFound < std::numeric_limits<qint16>::max())
        ++st.iLinksFound;
    ++lLinkSerial;

    ResultEntry entry;
    entry.icon = 2;
    entry.main = st.strMainSite;
    entry.remote = UrlTools::BareHost(st.strLinkingSite);
    entry.status = status;
    entry.number = serialText(lLinkSerial);
    entry.url = page.strCurUrl;
    entry.colour = SiteColour::Blue;
    m_project.results().appendEntry(entry);

    LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    if (list && row >= 0 && row < list->count()) {
        list->setColour(row, SiteColour::Blue);
        if (m_settings.isOn(QStringLiteral("chkUpdate")) && list->url(row) != page.strCurUrl)
            list->setCell(row, LinkingSiteList::Website, page.strCurUrl);
    }
    st.bLinkFound = true;

    if (m_settings.isOn(QStringLiteral("chkAudioEmail"))) {
        Q_EMIT cueRequested(m_app.file(QStringLiteral("sounds/foundemail.wav")));
        if (!stillCurrent(epoch))
            return false;
    }
    m_statistics.CountScanEvent(ScanStatistics::LinkRecorded);
    if (!stillCurrent(epoch))
        return false;
    Q_EMIT statusChanged(3, QStringLiteral("Found ") + QString::number(lSiteLinks)
                                + QStringLiteral(" links"));
    return stillCurrent(epoch);
}

void PageAnalyzer::followRedirect(const PageText& text, qsizetype hrefLine,
                                  const FetchedPage& from, quint64 generation, quint64 epoch)
{
    QString target;
    if (hrefLine < text.hrefs.size())
        target = redirectTarget(QString(kHref + text.rest(hrefLine, text.lineEnd(hrefLine))));
    // A server's bare "Moved" page (typical when a site moved to HTTPS) names no target: asking
    // for the page itself once more lets the download follow the server's redirect.
    if (target.isEmpty())
        target = from.strCurUrl;

    // The target is used as it stands: a relative one cannot be fetched and gives an empty page.
    m_pending = Pending{from, generation, epoch};
    const int seconds = std::clamp(m_settings.readInt(QStringLiteral("txtTimeout")), 1, 86400);
    m_download->setIdleTimeout(seconds * 1000);
    m_download->start(target);
}

void PageAnalyzer::onDownloadFinished(const DownloadResult& result)
{
    if (!m_pending)
        return;
    const Pending pending = *m_pending;
    m_pending.reset();
    if (!stillCurrent(pending.epoch))
        return;
    // The downloaded text stands in for the redirect page: its links are recorded with that
    // page's URL and resolved against that page's directory.
    bEmulate = true;
    AnalyzePage(result.text, pending.page, pending.generation);
}

bool PageAnalyzer::passesRules(const QString& url) const
{
    const RuleList& rules = m_project.rules();
    if (rules.isEmpty())
        return true;
    const ScanState& st = m_project.state();
    const QString mainSiteUrl = m_project.mainSiteUrl(st.iCurrentMain);
    const QString linkingSiteUrl = currentLinkingSiteUrl();
    const int refusing = RuleEngine::firstRefusingRule(url, mainSiteUrl, linkingSiteUrl, rules);
    if (refusing < 0)
        return true;
    // The log setting is only looked at for a refusal, the one time it matters.
    if (m_settings.isOn(QStringLiteral("chkLog"))) {
        const CrawlRule rule = rules.rule(refusing);
        m_rules.LogExcludedSite(rule.ruleType, rule.ruleValue, url);
    }
    return false;
}

const QString& PageAnalyzer::linkingSiteDomain()
{
    // The row's URL can change during the scan (chkUpdate), so the domain follows the text.
    const QString url = currentLinkingSiteUrl();
    if (url != m_domainSource || m_domainSource.isNull()) {
        m_domainSource = url.isNull() ? QStringLiteral("") : url;
        m_linkingSiteDomain = UrlTools::LinkingSiteDomain(url);
    }
    return m_linkingSiteDomain;
}

QString PageAnalyzer::currentLinkingSiteUrl() const
{
    const ScanState& st = m_project.state();
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    if (list && row >= 0 && row < list->count())
        return list->url(row);
    return st.strLinkingSite;
}

bool PageAnalyzer::IsKnownPage(QString& url)
{
    url = cleanPageUrl(url);
    ensureSiteKeys();
    const QString lower = url.toLower();
    // The Linking Sites are compared without their lower-case "www.", removed before the letter
    // case is folded.
    if (has(url, kWww)) {
        QString siteKey = url;
        siteKey.remove(kWww, Qt::CaseSensitive);
        if (m_siteKeys.contains(siteKey.toLower()))
            return true;
    } else if (m_siteKeys.contains(lower)) {
        return true;
    }
    // The page queue only ever holds pages that were queued here (the Linking Site's own URL is
    // taken from it before any page is analysed), so the queued pages answer for both.
    return m_queuedKeys.contains(lower);
}

void PageAnalyzer::ensureSiteKeys()
{
    LinkingSiteList* list = m_project.linkingSites(m_project.state().iCurrentMain);
    if (list != m_siteKeysList.data() || !list) {
        forgetSiteKeys();
        m_siteKeysList = list;
        if (list) {
            const auto dirty = [this] { m_siteKeysDirty = true; };
            m_siteKeysConnections = {
                connect(list, &QAbstractItemModel::dataChanged, this,
                        [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                               const QList<int>& roles) {
                            const bool urlColumn = topLeft.column() <= LinkingSiteList::Website
                                                   && bottomRight.column() >= LinkingSiteList::Website;
                            const bool text = roles.isEmpty() || roles.contains(Qt::DisplayRole)
                                              || roles.contains(Qt::EditRole);
                            if (urlColumn && text)
                                m_siteKeysDirty = true;
                        }),
                connect(list, &QAbstractItemModel::rowsInserted, this, dirty),
                connect(list, &QAbstractItemModel::rowsRemoved, this, dirty),
                connect(list, &QAbstractItemModel::rowsMoved, this, dirty),
                connect(list, &QAbstractItemModel::modelReset, this, dirty),
                connect(list, &QAbstractItemModel::layoutChanged, this, dirty),
            };
        }
    }
    if (!m_siteKeysDirty)
        return;
    m_siteKeys.clear();
    if (list) {
        for (int row = 0; row < list->count(); ++row) {
            QString key = list->url(row);
            key.remove(kWww, Qt::CaseSensitive);
            m_siteKeys.insert(key.toLower());
        }
    }
    m_siteKeysDirty = false;
}

void PageAnalyzer::forgetSiteKeys()
{
    for (const QMetaObject::Connection& c : std::as_const(m_siteKeysConnections))
        disconnect(c);
    m_siteKeysConnections.clear();
    m_siteKeysList.clear();
    m_siteKeys.clear();
    m_siteKeysDirty = true;
}

void PageAnalyzer::foldFileTypes()
{
    const QStringList& types = m_project.state().aFileTypes;
    if (types == m_fileTypesSource && m_fileTypesFolded.size() == types.size())
        return;
    m_fileTypesSource = types;
    m_fileTypesFolded.clear();
    for (const QString& type : types)
        m_fileTypesFolded.append(foldText(type));
}

void PageAnalyzer::dropWaitingWork()
{
    ++m_epoch;
    m_pending.reset();
    m_download->abort();
    bEmulate = false;
}

void PageAnalyzer::scanStarted()
{
    dropWaitingWork();
    lSiteLinks = 0;
    // A scan stopped in the middle of a Linking Site leaves its serial and its findings behind;
    // the new scan's first Linking Site must not inherit them.
    lLinkSerial = 0;
    ScanState& st = m_project.state();
    st.bRedirectFound = false;
    st.strRedirectUrl.clear();
    st.strProblem.clear();
    aQueuedPages.clear();
    m_queuedKeys.clear();
    m_siteKeysDirty = true;
}

void PageAnalyzer::siteBegun()
{
    lSiteLinks = 0;
}

void PageAnalyzer::siteAdvanced()
{
    dropWaitingWork();
    lSiteLinks = 0;
    lLinkSerial = 0;
    aQueuedPages.clear();
    m_queuedKeys.clear();
}

void PageAnalyzer::abort()
{
    dropWaitingWork();
}

} // namespace corvane
