#include "output/ReportWriter.h"

#include "history/HistoryReport.h"
#include "history/ProjectHistory.h"

#include "history/PartnerOutcome.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/ResultNotes.h"
#include "model/ScanStatistics.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "net/BotChallenge.h"
#include "output/WebLink.h"
#include "web/HtmlEscape.h"
#include "web/UrlTools.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace corvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The narrow no-break space of recent locale data has no Windows-1252 byte; the ordinary no-break
// space renders the same.
QString singleByteFriendly(QString text)
{
    text.replace(QChar(0x202F), QChar(0x00A0));
    return text;
}

QString formatF(double value, const QLocale& locale)
{
    return singleByteFriendly(locale.toString(value, 'f', 2));
}

// The locale's long time format without its time-zone name: hours, minutes, seconds and the
// day-period marker.
QString timeText(const QTime& time, const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        kept += c;
    }
    return singleByteFriendly(locale.toString(time, kept.simplified()));
}

// A site's key for matching Linking Sites with result rows.
QString domainKey(QString text)
{
    text.remove(QStringLiteral("http://"), Qt::CaseInsensitive);
    text.remove(QStringLiteral("https://"), Qt::CaseInsensitive);
    return UrlTools::BareHost(text);
}

bool isLinkingStatus(const QString& status)
{
    return status == LinkStatus::Direct || status == LinkStatus::Indirect
        || status == LinkStatus::Redirect;
}

bool isNoneFound(const QString& status)
{
    return status.contains(LinkStatus::NoneFound, Qt::CaseInsensitive);
}

// The report's look, in its head so the page stays one file that opens anywhere: the system's
// sans-serif font at a readable width, ruled tables, each Linking Site's block coloured as its
// rows are in the window (blue found, green redirect, red none or missing), light and dark, and a
// plain version for paper. No script, nothing fetched.
const QString kStyle = QStringLiteral(
    "<style>\r\n"
    ":root{color-scheme:light dark}\r\n"
    "body{font-family:system-ui,-apple-system,\"Segoe UI\",\"Noto Sans\",\"DejaVu Sans\",sans-serif;"
    "line-height:1.5;max-width:56em;margin:2em auto;padding:0 1.5em;color:#1f2328;background:#fff}\r\n"
    "h1{font-size:1.6em;margin:1.2em 0 .4em}\r\n"
    "h2{font-size:1.25em;margin:1em 0 .4em}\r\n"
    "h3{font-size:1.1em;margin:1.8em 0 .6em;padding-bottom:.2em;border-bottom:1px solid #d0d7de;"
    "overflow-wrap:anywhere}\r\n"
    "hr{border:0;border-top:1px solid #d0d7de;margin:1em 0}\r\n"
    "table{border-collapse:collapse;margin:.5em 0;min-width:24em}\r\n"
    "td{padding:.3em .8em;border-bottom:1px solid #d0d7de;vertical-align:top}\r\n"
    "td+td{text-align:right;font-variant-numeric:tabular-nums}\r\n"
    "td[colspan]{border-bottom:0;padding-top:1em}\r\n"
    "td li{list-style:none;padding-left:1.5em}\r\n"
    "a{color:#0550ae;overflow-wrap:anywhere}\r\n"
    ".partner{margin:0 0 .8em;padding:.2em 0 .2em .9em;border-left:4px solid #8c959f}\r\n"
    ".partner br:last-child{display:none}\r\n"
    ".partner a{color:inherit}\r\n"
    ".found{color:#0000ff;border-left-color:#0000ff}\r\n"
    ".redirect{color:#008000;border-left-color:#008000}\r\n"
    ".none,.missing{color:#c80000;border-left-color:#c80000}\r\n"
    "@media (prefers-color-scheme:dark){"
    "body{color:#e6edf3;background:#0d1117}"
    "h3,hr,td{border-color:#30363d}"
    "a{color:#79c0ff}"
    ".found{color:#78aaff;border-left-color:#78aaff}"
    ".redirect{color:#64dc64;border-left-color:#64dc64}"
    ".none,.missing{color:#ff7878;border-left-color:#ff7878}}\r\n"
    "@media print{"
    "body{max-width:none;margin:0;padding:0;font-size:10pt;color:#000;background:#fff}"
    "a{text-decoration:none}"
    "h3{break-after:avoid}"
    ".partner{break-inside:avoid}"
    ".found{color:#00008b;border-left-color:#00008b}"
    ".redirect{color:#006400;border-left-color:#006400}"
    ".none,.missing{color:#a00000;border-left-color:#a00000}}\r\n"
    "</style>");

// The class of a Linking Site's block: its row's colour in the window.
QString blockClass(const QString& status)
{
    if (status == LinkStatus::Redirect)
        return QStringLiteral("partner redirect");
    if (status == LinkStatus::Direct || status == LinkStatus::Indirect
        || status == LinkStatus::Domain)
        return QStringLiteral("partner found");
    if (status.startsWith(LinkStatus::Missing))
        return QStringLiteral("partner missing");
    if (isNoneFound(status))
        return QStringLiteral("partner none");
    return QStringLiteral("partner");
}

// The file is written in Windows-1252: a character it has no byte for would become "?", so it
// goes in as a character reference, which a browser shows as the character itself.
QString withCharacterReferences(const QString& doc)
{
    const auto fits = [](QChar c) {
        return c.unicode() < 0x80 || Windows1252::encode(QStringView(&c, 1)) != "?";
    };
    if (std::all_of(doc.cbegin(), doc.cend(), fits))
        return doc;
    QString out;
    out.reserve(doc.size() + 64);
    for (qsizetype i = 0; i < doc.size(); ++i) {
        const QChar c = doc.at(i);
        if (fits(c)) {
            out += c;
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < doc.size() && doc.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, doc.at(++i));
        out += QStringLiteral("&#") + QString::number(code) + u';';
    }
    return out;
}

// The report's heading: the project's file and its Main Sites, the first few by name.
QString projectHeading(const Project& project, const QString& projectFile)
{
    constexpr int kNamed = 5;
    QStringList mains;
    for (int k = 1; k <= project.mainSiteCount() && k <= kNamed; ++k)
        mains << htmlEscape(project.mainSiteUrl(k));
    if (project.mainSiteCount() > kNamed)
        mains.last() += QStringLiteral(" and ") + QString::number(project.mainSiteCount() - kNamed)
                        + QStringLiteral(" more");
    QString heading = projectFile.isEmpty() ? QString()
                                            : htmlEscape(QFileInfo(projectFile).fileName());
    if (!mains.isEmpty())
        heading += (heading.isEmpty() ? QString() : QStringLiteral(" &ndash; "))
                   + (mains.size() == 1 ? QStringLiteral("Main Site: ")
                                        : QStringLiteral("Main Sites: "))
                   + mains.join(QStringLiteral(", "));
    if (heading.isEmpty())
        return {};
    return QStringLiteral("<h2>") + heading + QStringLiteral("</h2>") + kCrLf;
}

QString overviewRow(const QString& label, qint32 value)
{
    return QStringLiteral("<tr><td>") + label + QStringLiteral("</td><td> ")
        + QString::number(value) + QStringLiteral("</td></tr>") + kCrLf;
}

} // namespace

namespace {

// The text as a link to target, or as plain text when it has no web address to lead to.
QString link(const QString& text, const QString& target)
{
    if (target.isEmpty())
        return htmlEscape(text);
    return QStringLiteral("<a href='") + htmlEscape(target) + QStringLiteral("'>")
        + htmlEscape(text) + QStringLiteral("</a>");
}

} // namespace

ReportWriter::ReportWriter(const Project& project, const AppFolder& folder,
                           const SettingsStore& settings, QObject* parent)
    : QObject(parent), m_project(project), m_folder(folder), m_settings(settings)
{
}

ReportCounts ReportWriter::count(const Project& project, qint32 pagesScanned)
{
    ReportCounts c;
    c.mainSites = project.mainSiteCount();
    for (int k = 1; k <= project.mainSiteCount(); ++k) {
        if (const LinkingSiteList* list = project.linkingSites(k))
            c.linkingSites += list->count();
    }
    c.pagesScanned = pagesScanned;
    const ResultList& results = project.results();
    for (int row = 0; row < results.count(); ++row) {
        const QString status = results.cell(row, ResultList::Status);
        if (status == LinkStatus::Direct)
            ++c.direct;
        else if (status == LinkStatus::Indirect)
            ++c.indirect;
        else if (status == LinkStatus::Redirect)
            ++c.redirect;
        else if (PartnerVerdict::reasonOf(status) == BotChallenge::kBlocked)
            ++c.blocked;
        else if (isNoneFound(status))
            ++c.nonLinking;
        const QString notes = results.cell(row, ResultList::Notes);
        if (notes.isEmpty())
            continue;
        ++c.withNotes;
        const ResultNotes n = ResultNotes::read(notes);
        c.nofollow += n.nofollow;
        c.sponsored += n.sponsored;
        c.ugc += n.ugc;
        c.onNoindexPages += n.pageNoindex;
        c.onRobotsBlockedPages += n.pageBlockedByRobotsTxt;
        c.onCanonicalElsewherePages += n.canonicalElsewhere;
    }
    c.reciprocal = c.direct + c.indirect + c.redirect;
    // A blocked partner's error row says it was blocked: it is counted there, not as an error.
    const ErrorList& errors = project.errors();
    for (int row = 0; row < errors.count(); ++row) {
        if (errors.cell(row, ErrorList::Error) != BotChallenge::kBlocked)
            ++c.errors;
    }
    return c;
}

QString ReportWriter::buildDocument(const Project& project, qint32 pagesScanned,
                                    const QDateTime& now, const QLocale& locale,
                                    const HistoryStore* history, const QString& projectFile)
{
    const ReportCounts c = count(project, pagesScanned);
    QString doc;
    doc += QStringLiteral("<html>") + kCrLf;
    doc += QStringLiteral("<head>") + kCrLf;
    doc += QStringLiteral("<meta charset=\"windows-1252\">") + kCrLf;
    doc += QStringLiteral("<title>Reciprocal Link Report</title>") + kCrLf;
    doc += kStyle + kCrLf;
    doc += QStringLiteral("<body>") + kCrLf;
    doc += QStringLiteral("<H1>Reciprocal Link Report</H1>") + kCrLf;
    doc += projectHeading(project, projectFile);
    doc += QStringLiteral("Date: ")
        + htmlEscape(singleByteFriendly(locale.toString(now.date(), QLocale::ShortFormat)))
        + QStringLiteral("<BR>") + kCrLf;
    doc += QStringLiteral("Time: ") + htmlEscape(timeText(now.time(), locale))
        + QStringLiteral("<BR><BR>") + kCrLf;
    doc += QStringLiteral("<hr>") + kCrLf;
    QHash<QString, PartnerRecord> records;
    if (history) {
        doc += HistoryReport::changesSection(*history, locale);
        records = HistoryReport::records(*history);
    }
    doc += QStringLiteral("<table cellpadding=5 border=0>") + kCrLf;
    doc += QStringLiteral("<tr><td colspan=2><b>Overview</b></td></tr>");
    doc += overviewRow(QStringLiteral("Total Main Sites:"), c.mainSites);
    doc += overviewRow(QStringLiteral("Total Linking Sites:"), c.linkingSites);
    doc += overviewRow(QStringLiteral("Total Pages Scanned:"), c.pagesScanned);
    doc += overviewRow(QStringLiteral("Total Reciprocal Links:"), c.reciprocal);
    doc += overviewRow(QStringLiteral("<li>Direct Links</li>"), c.direct);
    doc += overviewRow(QStringLiteral("<li>Indirect Links</li>"), c.indirect);
    doc += overviewRow(QStringLiteral("<li>Redirect Links</li>"), c.redirect);
    if (c.withNotes > 0) {
        doc += overviewRow(QStringLiteral("Links Marked nofollow:"), c.nofollow);
        doc += overviewRow(QStringLiteral("Links Marked sponsored:"), c.sponsored);
        doc += overviewRow(QStringLiteral("Links Marked ugc:"), c.ugc);
        doc += overviewRow(QStringLiteral("Links on noindex Pages:"), c.onNoindexPages);
        doc += overviewRow(QStringLiteral("Links on Pages Blocked by robots.txt:"),
                           c.onRobotsBlockedPages);
        doc += overviewRow(QStringLiteral("Links on Pages Canonical Elsewhere:"),
                           c.onCanonicalElsewherePages);
    }
    doc += overviewRow(QStringLiteral("Total Non-Linking Sites:"), c.nonLinking);
    if (c.blocked > 0)
        doc += overviewRow(QStringLiteral("Blocked by Bot Protection:"), c.blocked);
    doc += overviewRow(QStringLiteral("Total Errors:"), c.errors);
    doc += QStringLiteral("<tr><td colspan=2>&nbsp</td></tr>");
    doc += QStringLiteral("<tr><td colspan=2><b>Percentages/Averages</b></td></tr>");

    // The divisor leaves out rows that are neither linking nor "None Found" ("Domain Link",
    // "Missing 002"), so the percentages may rest on fewer sites than the project holds.
    const qint64 judged = qint64(c.reciprocal) + c.nonLinking;
    if (judged > 0) {
        const double divisor = double(judged);
        doc += QStringLiteral("<tr><td>Sites with Reciprocal Links:</td><td>")
            + htmlEscape(formatF(c.reciprocal / divisor * 100.0, locale))
            + QStringLiteral("%</td></tr>") + kCrLf;
        doc += QStringLiteral("<tr><td>Sites with No Links:</td><td>")
            + htmlEscape(formatF(c.nonLinking / divisor * 100.0, locale))
            + QStringLiteral("%</td></tr>") + kCrLf;
        doc += QStringLiteral("<tr><td>Average Pages Scanned Per Site:</td><td>")
            + htmlEscape(formatF(c.pagesScanned / divisor, locale))
            + QStringLiteral("</td></tr></table><BR><BR>") + kCrLf;
    } else {
        doc += QStringLiteral("<tr><td>Sites with Reciprocal Links:</td><td>0%</td></tr>") + kCrLf;
        doc += QStringLiteral("<tr><td>Sites with No Links:</td><td>100%</td></tr>") + kCrLf;
        doc += QStringLiteral("<tr><td>Average Pages Scanned Per Site:</td><td>0</td></tr></table>"
                              "<BR><BR>")
            + kCrLf;
    }
    doc += QStringLiteral("<h1>Main Site Specific Overviews</h1>") + kCrLf;

    // Result rows indexed by their domain key, each key's rows in result-list order, so the
    // sections cost one look-up per Linking Site instead of a pass over every row.
    const ResultList& results = project.results();
    QHash<QString, QList<int>> rowsByKey;
    rowsByKey.reserve(results.count());
    for (int row = 0; row < results.count(); ++row)
        rowsByKey[domainKey(results.cell(row, ResultList::Remote))].append(row);

    // Each block sits in an element of its own for its colour. It is closed where the next block
    // or heading begins, never at the end, so the document still ends as it always did.
    bool blockOpen = false;
    auto closeBlock = [&doc, &blockOpen] {
        if (blockOpen)
            doc += QStringLiteral("</div>");
        blockOpen = false;
    };
    for (int k = 1; k <= project.mainSiteCount(); ++k) {
        closeBlock();
        doc += QStringLiteral("<h3>") + htmlEscape(project.mainSiteUrl(k)) + QStringLiteral("</h3>")
            + kCrLf;
        const QString main = UrlTools::NormalizeMainSite(project.mainSiteUrl(k));
        if (history)
            doc += HistoryReport::chart(*history, main, locale);
        const LinkingSiteList* sites = project.linkingSites(k);
        if (!sites)
            continue;
        for (int site = 0; site < sites->count(); ++site) {
            const QString key = domainKey(sites->url(site));
            const auto found = rowsByKey.constFind(key);
            if (found == rowsByKey.cend())
                continue;
            const QString siteLink
                = link(key, WebLink::target(key, WebLink::schemeOf(sites->url(site))));
            for (const int row : *found) {
                const QString status = results.cell(row, ResultList::Status);
                closeBlock();
                doc += QStringLiteral("<div class=\"") + blockClass(status) + QStringLiteral("\">");
                blockOpen = true;
                doc += QStringLiteral("Site: ") + siteLink + QStringLiteral("<BR>");
                if (isLinkingStatus(status)) {
                    const QString u = results.cell(row, ResultList::Url);
                    doc += QStringLiteral("Status: ") + htmlEscape(status) + QStringLiteral("<BR>")
                        + QStringLiteral("Found On: ") + link(u, WebLink::target(u))
                        + QStringLiteral("<BR>");
                } else if (isNoneFound(status)) {
                    doc += QStringLiteral("Status: ") + htmlEscape(status) + QStringLiteral("<BR>");
                }
                if (const auto record = records.constFind(
                        HistoryReport::partnerKey(results.cell(row, ResultList::Main), key));
                    record != records.cend() && row == found->first())
                    doc += HistoryReport::linkText(*record, locale) + QStringLiteral("<BR>");
                const QString notes = results.cell(row, ResultList::Notes);
                if (!notes.isEmpty())
                    doc += QStringLiteral("Notes: ") + htmlEscape(notes) + QStringLiteral("<BR>");
                doc += QStringLiteral("<BR>");
            }
        }
    }
    return withCharacterReferences(doc);
}

QString ReportWriter::tempReportPath() const
{
    return m_folder.file(QStringLiteral("tempreport.html"));
}

QString ReportWriter::projectCopyPath() const
{
    const QString lastProject = m_settings.ReadSetting(QStringLiteral("LastProject"));
    if (lastProject.isEmpty())
        return {};
    return m_folder.file(QStringLiteral("Project Files/")
                         + ProjectFile::reportFileName(lastProject));
}

void ReportWriter::regenerate()
{
    generate(m_statistics ? m_statistics->lPagesScanned : 0);
}

ReportWriter::Generation ReportWriter::generate(qint32 pagesScanned)
{
    return generate(pagesScanned, QDateTime::currentDateTime(), QLocale());
}

ReportWriter::Generation ReportWriter::generate(qint32 pagesScanned, const QDateTime& now,
                                                const QLocale& locale)
{
    Generation g;
    HistoryStore* history = m_history ? m_history->reader() : nullptr;
    g.document = buildDocument(m_project, pagesScanned, now, locale, history,
                               m_settings.ReadSetting(QStringLiteral("LastProject")));
    g.tempFile = tempReportPath();
    const WriteOutcome temp = OutputFile::writeText(g.tempFile, g.document);
    if (temp.failed())
        g.failures.append(temp.message);
    g.projectCopy = projectCopyPath();
    if (!g.projectCopy.isEmpty()) {
        const WriteOutcome copy = OutputFile::writeText(g.projectCopy, g.document);
        if (copy.failed())
            g.failures.append(copy.message);
    }
    Q_EMIT reportGenerated(g.tempFile);
    return g;
}

WriteOutcome ReportWriter::saveReportAs(const QString& chosenName,
                                        const OverwriteQuestion& ask) const
{
    const QString source = tempReportPath();
    return OutputFile::saveUnderChosenName(
        chosenName, QStringLiteral(".htm"), ask, [&source](const QString& path) {
            // A copy of the last generated report, not a new one: results edited since the last
            // scan stop are not in it.
            QFile in(source);
            if (!in.open(QIODevice::ReadOnly))
                return WriteOutcome{WriteOutcome::Status::Failed, path,
                                    OutputFile::errorMessage(in.error(), in.errorString())};
            return OutputFile::writeBytes(path, in.readAll());
        });
}

} // namespace corvane
