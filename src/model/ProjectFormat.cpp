#include "model/ProjectFormat.h"

#include "model/Project.h"
#include "model/ProjectField.h"
#include "model/Windows1252.h"

#include <algorithm>
#include <array>
#include <limits>

namespace corvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kBreak = QStringLiteral("|||");
const QString kHtml[3]
    = {QStringLiteral("HTML01:"), QStringLiteral("HTML02:"), QStringLiteral("HTML03:")};
const QString kResult = QStringLiteral("RESULT:");
const QString kNextSite = QStringLiteral("NEXTSITE:");
const QString kRule = QStringLiteral("RULE:");
const QString kPostSingle = QStringLiteral("POSTSINGLE:");
const QString kPostMulti = QStringLiteral("POSTMULTI:");

// iCurrentMain is a 16-bit number: a file with more Main Sites than it can address is read up to
// that point.
constexpr int kMaxMainSites = std::numeric_limits<qint16>::max();

// A value of a one-line field never holds a line break: one would split its record and turn the
// rest into a record of its own.
QString oneLine(const QString& value)
{
    if (!value.contains(u'\r') && !value.contains(u'\n'))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n')
            continue; // CR LF becomes one blank, at its LF
        out += c == u'\r' || c == u'\n' ? QChar(u' ') : c;
    }
    return out;
}

// Page-builder texts keep their line breaks as "|||". Lone LF and CR (texts edited on this
// platform) are written the same way, so no break can end the record early. One pass over the
// text: QString::replace moves the tail once per block of matches, which a text of millions of
// breaks turns into quadratic time.
QString escapeBreaks(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 2);
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += kBreak;
            if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// Every "|||" back to CR LF, in one pass for the same reason.
QString unescapeBreaks(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(kBreak); at >= 0; at = text.indexOf(kBreak, from)) {
        out += text.mid(from, at - from);
        out += kCrLf;
        from = at + kBreak.size();
    }
    out += text.mid(from);
    return out;
}

void appendFields(QString& out, std::initializer_list<QString> fields)
{
    bool first = true;
    for (const QString& f : fields) {
        if (!first)
            out += u'|';
        out += oneLine(f);
        first = false;
    }
    out += kCrLf;
}

// Up to N fields of a "|"-separated text; further fields are not even looked at, so a line of a
// million "|" costs no more than its length. Returns how many fields were found (at most N).
template <std::size_t N> int splitFields(QStringView text, std::array<QStringView, N>& fields)
{
    int count = 0;
    qsizetype start = 0;
    while (count < int(N)) {
        const qsizetype bar = text.indexOf(u'|', start);
        if (bar < 0) {
            fields[std::size_t(count++)] = text.mid(start);
            break;
        }
        fields[std::size_t(count++)] = text.mid(start, bar - start);
        start = bar + 1;
    }
    return count;
}

// A result icon "read as a whole number": blanks around it, an optional sign, digits, within the
// 16-bit range.
bool parseIcon(QStringView text, int* icon)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
        return false;
    *icon = v;
    return true;
}

bool hasPrefix(QStringView line)
{
    for (const QString& p : kHtml) {
        if (line.startsWith(p))
            return true;
    }
    return line.startsWith(kResult) || line.startsWith(kNextSite) || line.startsWith(kRule)
        || line.startsWith(kPostSingle) || line.startsWith(kPostMulti);
}

bool appendMainSite(Project& project, QStringView url)
{
    if (project.mainSiteCount() >= kMaxMainSites)
        return false;
    project.mainSites().appendUrl(url.toString());
    // The list whose number is the new Main Site count, whatever lists exist already.
    while (project.linkingSiteListCount() <= project.mainSiteCount())
        project.addList();
    project.state().iCurrentMain = qint16(project.mainSiteCount());
    return true;
}

// Texts that repeat from row to row (a Main Site, a status, "001", an expected count of links)
// are kept once while a file is read: a large project then holds one copy of each instead of
// one per row, and reading it allocates far less.
class RepeatedTexts
{
public:
    QString text(QStringView v)
    {
        if (v.isEmpty())
            return v.toString();
        for (const QString& known : m_recent) {
            if (known.size() == v.size() && QStringView(known) == v)
                return known;
        }
        QString made = v.toString();
        m_recent[m_next] = made;
        m_next = (m_next + 1) % m_recent.size();
        return made;
    }

private:
    std::array<QString, 8> m_recent;
    std::size_t m_next = 0;
};

struct ReadContext {
    RepeatedTexts mains;
    RepeatedTexts statuses;
    RepeatedTexts numbers;
    RepeatedTexts expected;
};

bool readLinkingSite(Project& project, QStringView line, ReadContext& context);

// Whether the line may start with one of the record prefixes, all of which start with one of
// these letters: most lines of a large project are Linking Sites, which then need no further
// comparison.
bool mayHavePrefix(QStringView line)
{
    if (line.isEmpty())
        return false;
    const char16_t c = line.front().unicode();
    return c == u'H' || c == u'R' || c == u'N' || c == u'P';
}

// One line after the first. False when the line cannot be read as its record.
bool readLine(Project& project, QStringView line, ReadContext& context)
{
    if (line.isEmpty() || line == u" ")
        return true;
    if (!mayHavePrefix(line))
        return readLinkingSite(project, line, context);
    for (int part = 0; part < 3; ++part) {
        if (line.startsWith(kHtml[part])) {
            project.setPageText(part + 1, unescapeBreaks(line.mid(kHtml[part].size())));
            return true;
        }
    }
    if (line.startsWith(kResult)) {
        std::array<QStringView, 7> f;
        const int n = splitFields(line.mid(kResult.size()), f);
        ResultEntry e;
        if (n < 5 || !parseIcon(f[0], &e.icon))
            return false;
        if (n >= 6) {
            e.main = context.mains.text(f[1]);
            e.remote = f[2].toString();
            e.status = context.statuses.text(f[3]);
            e.number = context.numbers.text(f[4]);
            e.url = f[5].toString();
            if (n >= 7)
                e.notes = f[6].toString();
        } else {
            e.remote = f[1].toString();
            e.status = context.statuses.text(f[2]);
            e.number = context.numbers.text(f[3]);
            e.url = f[4].toString();
        }
        e.colour = e.icon == 2 ? SiteColour::Blue : SiteColour::Red;
        project.results().appendEntry(e);
        return true;
    }
    if (line.startsWith(kNextSite))
        return appendMainSite(project, line.mid(kNextSite.size()));
    if (line.startsWith(kRule)) {
        std::array<QStringView, 4> f;
        if (splitFields(line.mid(kRule.size()), f) < 4)
            return false;
        project.rules().appendRule(
            {f[0].toString(), f[1].toString(), f[2].toString(), f[3].toString()});
        return true;
    }
    if (line.startsWith(kPostSingle)) {
        project.setPostSingle(line.mid(kPostSingle.size()).toString());
        return true;
    }
    if (line.startsWith(kPostMulti)) {
        std::array<QStringView, 2> f;
        if (splitFields(line.mid(kPostMulti.size()), f) < 2)
            return false;
        project.postTargets().appendTarget({f[0].toString(), f[1].toString()});
        return true;
    }
    return readLinkingSite(project, line, context);
}

// Anything else is a Linking Site of the current Main Site.
bool readLinkingSite(Project& project, QStringView line, ReadContext& context)
{
    std::array<QStringView, 5> f;
    const int n = splitFields(line, f);
    const int k = project.state().iCurrentMain;
    LinkingSiteList* list = k >= 1 ? project.linkingSites(k) : nullptr;
    if (n < 2 || list == nullptr)
        return false;
    LinkingSite site;
    site.url = f[0].toString();
    site.expected = context.expected.text(f[1]);
    if (n > 2)
        site.linkPageUrl = f[2].toString();
    if (n > 3)
        site.linkPageText = f[3].toString();
    if (n > 4)
        site.description = f[4].toString();
    list->appendSite(site);
    return true;
}
} // namespace

QByteArray ProjectFormat::serialize(const Project& project, int leaveOutIndex)
{
    QString out;
    bool firstMain = true;
    for (int i = 0; i < project.mainSiteCount(); ++i) {
        if (i == leaveOutIndex)
            continue;
        if (!firstMain)
            out += kNextSite;
        out += oneLine(ProjectField::url(project.mainSites().url(i))) + kCrLf;
        firstMain = false;
        if (const LinkingSiteList* list = project.linkingSites(i + 1)) {
            for (int row = 0; row < list->count(); ++row) {
                const LinkingSite s = list->site(row);
                appendFields(out,
                             {ProjectField::url(s.url), ProjectField::text(s.expected),
                              ProjectField::url(s.linkPageUrl), ProjectField::text(s.linkPageText),
                              ProjectField::text(s.description)});
            }
        }
    }
    for (int part = 0; part < 3; ++part)
        out += kHtml[part] + escapeBreaks(ProjectField::html(project.pageText(part + 1))) + kCrLf;
    const ResultList& results = project.results();
    for (int row = 0; row < results.count(); ++row) {
        const ResultEntry e = results.entry(row);
        out += kResult;
        const QString main = ProjectField::url(e.main);
        const QString remote = ProjectField::url(e.remote);
        const QString status = ProjectField::text(e.status);
        const QString number = ProjectField::text(e.number);
        const QString url = ProjectField::url(e.url);
        // The notes field is written only when there are notes: a project without them is
        // written as it always was.
        if (e.notes.isEmpty())
            appendFields(out, {QString::number(e.icon), main, remote, status, number, url});
        else
            appendFields(out, {QString::number(e.icon), main, remote, status, number, url,
                               ProjectField::text(e.notes)});
    }
    const RuleList& rules = project.rules();
    for (int row = 0; row < rules.count(); ++row) {
        const CrawlRule r = rules.rule(row);
        out += kRule;
        appendFields(out, {ProjectField::url(r.mainSite), ProjectField::url(r.remoteSite),
                           ProjectField::text(r.ruleType), ProjectField::url(r.ruleValue)});
    }
    if (!project.postSingle().isEmpty())
        out += kPostSingle + oneLine(ProjectField::url(project.postSingle())) + kCrLf;
    const PostTargetList& targets = project.postTargets();
    for (int row = 0; row < targets.count(); ++row) {
        const PostTarget t = targets.target(row);
        out += kPostMulti;
        appendFields(out, {ProjectField::url(t.mainSite), ProjectField::url(t.scriptUrl)});
    }
    out += kCrLf;
    return Windows1252::encode(out);
}

ReadOutcome ProjectFormat::deserialize(Project& project, QByteArrayView bytes)
{
    ReadOutcome outcome;
    const QString text = Windows1252::decode(Windows1252::withoutByteOrderMark(bytes));
    const QChar* const data = text.constData();
    const qsizetype size = text.size();
    qsizetype pos = 0;
    int lineNumber = 0;
    ReadContext context;
    // A line ends at CR LF, LF or a lone CR (files edited on this platform); a final line break
    // does not start another line.
    while (pos < size) {
        const QChar* const stop = std::find_if(data + pos, data + size,
                                               [](QChar c) { return c == u'\r' || c == u'\n'; });
        const qsizetype end = stop - data;
        const QStringView line = QStringView(text).mid(pos, end - pos);
        pos = end;
        if (pos < size)
            pos += data[pos] == u'\r' && pos + 1 < size && data[pos + 1] == u'\n' ? 2 : 1;
        ++lineNumber;
        outcome.anyLine = true;

        bool ok = false;
        if (lineNumber == 1 && !hasPrefix(line))
            ok = appendMainSite(project, line);
        else
            ok = readLine(project, line, context);
        if (!ok) {
            outcome.failedLine = lineNumber;
            return outcome;
        }
    }
    outcome.complete = true;
    return outcome;
}

} // namespace corvane
