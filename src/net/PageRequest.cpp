#include "net/PageFetcher.h"

// The page fetcher's request side: a page URL split into host, path and directory, the request
// sent for it, and the texts of the error statuses.

#include "model/Windows1252.h"
#include "net/ResponseHead.h"
#include "web/UrlTools.h"

#include <QHash>
#include <QUrl>

namespace corvane {

namespace {

const QString kHttp = QStringLiteral("http://");
const QString kHttps = QStringLiteral("https://");

const QHash<QString, QString>& statusTable()
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("400"), QStringLiteral("400 Bad request")},
        {QStringLiteral("401"), QStringLiteral("401 Unauthorized")},
        {QStringLiteral("402"), QStringLiteral("402 PaymentRequired")},
        {QStringLiteral("403"), QStringLiteral("403 Forbidden")},
        {QStringLiteral("404"), QStringLiteral("404 Not found")},
        {QStringLiteral("405"), QStringLiteral("405 Method Not Allowed")},
        {QStringLiteral("406"), QStringLiteral("406 Not Acceptable")},
        {QStringLiteral("407"), QStringLiteral("407 Proxy Authentication Required")},
        {QStringLiteral("408"), QStringLiteral("408 request timeout")},
        {QStringLiteral("409"), QStringLiteral("409 Conflict")},
        {QStringLiteral("410"), QStringLiteral("410 Gone")},
        {QStringLiteral("411"), QStringLiteral("411 Length Required")},
        {QStringLiteral("412"), QStringLiteral("412 Precondition Failed")},
        {QStringLiteral("413"), QStringLiteral("413 Request Entity Too Large")},
        {QStringLiteral("414"), QStringLiteral("414 Request-URI Too Long")},
        {QStringLiteral("415"), QStringLiteral("415 Unsupported Media Type")},
        {QStringLiteral("500"), QStringLiteral("500 Internal Error")},
        {QStringLiteral("501"), QStringLiteral("501 Not implemented")},
        {QStringLiteral("502"), QStringLiteral("502 Bad Gateway")},
        {QStringLiteral("503"), QStringLiteral("503 Service Unavailable")},
        {QStringLiteral("504"), QStringLiteral("504 Gateway timeout")},
        {QStringLiteral("505"), QStringLiteral("505 HTTP Not Version")},
    };
    return table;
}

// Characters a host name may hold once it is in ASCII form. Anything else (a port, a user name,
// blanks, a stray quote) cannot name a host, and would only leave the request waiting for the
// resolver to give up.
bool isHostName(const QString& host)
{
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z')
            || (u >= u'0' && u <= u'9') || u == u'-' || u == u'.' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

UrlSplit PageFetcher::splitUrl(const QString& url)
{
    UrlSplit u;
    QString s = url;
    u.tls = s.startsWith(kHttps, Qt::CaseInsensitive);

    bool trailing = false;
    if (s.endsWith(u'/')) {
        // Counted before the scheme goes: "http://host/" keeps its slash flag, "host/" does not.
        trailing = s.split(u'/').size() > 2;
        s.chop(1);
    }
    s.remove(kHttp, Qt::CaseInsensitive);
    s.remove(kHttps, Qt::CaseInsensitive);

    u.strURL = s;
    u.strCurUrl = s;
    // The directory comes from the path alone: "host/search?q=a/b" lies in "host/".
    const qsizetype query = s.indexOf(u'?');
    QString dir = query >= 0 ? s.left(query) : s;
    const qsizetype lastSlash = dir.lastIndexOf(u'/');
    if (lastSlash >= 0 && query < 0) {
        const QString segment = dir.mid(lastSlash);
        if (!segment.contains(u'.') && segment != QStringLiteral("/"))
            dir += u'/';
    }
    if (!dir.endsWith(u'/'))
        dir = UrlTools::ParentDirectory(dir);
    u.strCurDir = dir;

    const qsizetype firstSlash = u.strCurUrl.indexOf(u'/');
    if (firstSlash >= 0) {
        const QString hostPart = u.strCurUrl.left(firstSlash + 1);
        u.strHost = hostPart;
        u.strPath = QString(s).remove(hostPart, Qt::CaseSensitive);
        if (trailing)
            u.strPath += u'/';
    } else {
        u.strHost = u.strCurUrl;
        u.strPath = QStringLiteral("/");
    }
    u.strHost.remove(u'/');
    if (u.strPath.isEmpty())
        u.strPath = QStringLiteral("/");
    if (!u.strPath.startsWith(u'/'))
        u.strPath.prepend(u'/');

    if (u.strHost.isEmpty()) {
        u.problem = QStringLiteral("Invalid URL");
        return u;
    }
    u.connectHost = u.strHost;
    bool ascii = true;
    for (const QChar c : u.strHost)
        ascii = ascii && c.unicode() < 128;
    if (!ascii)
        u.connectHost = QString::fromLatin1(QUrl::toAce(u.strHost, QUrl::IgnoreIDNWhitelist));
    if (!isHostName(u.connectHost))
        u.problem = QStringLiteral("Invalid Host");
    return u;
}

QByteArray PageFetcher::requestBytes(const QString& host, const QString& path,
                                     const QByteArray& userAgent)
{
    const QString head = QStringLiteral("GET ") + path + QStringLiteral(" HTTP/1.1\r\n")
        + QStringLiteral("Host: ") + host + QStringLiteral("\r\n");
    const QString tail = QStringLiteral("Connection: keep-alive\r\n")
        + QStringLiteral("Accept: */*\r\n") + QStringLiteral("Accept-Encoding: gzip, deflate\r\n")
        + QStringLiteral("\r\n");
    return Windows1252::encode(head) + QByteArrayLiteral("User-Agent: ") + userAgent
        + QByteArrayLiteral("\r\n") + Windows1252::encode(tail);
}

QString PageFetcher::statusText(const QString& code)
{
    return statusTable().value(code);
}

namespace {

// The usual reason phrases of the error codes the fetcher's own table leaves out, for a status
// line that gives none.
QString usualPhrase(int code)
{
    static const QHash<int, QString> phrases = {
        {416, QStringLiteral("Range Not Satisfiable")},
        {417, QStringLiteral("Expectation Failed")},
        {421, QStringLiteral("Misdirected Request")},
        {422, QStringLiteral("Unprocessable Content")},
        {423, QStringLiteral("Locked")},
        {424, QStringLiteral("Failed Dependency")},
        {425, QStringLiteral("Too Early")},
        {426, QStringLiteral("Upgrade Required")},
        {428, QStringLiteral("Precondition Required")},
        {429, QStringLiteral("Too Many Requests")},
        {431, QStringLiteral("Request Header Fields Too Large")},
        {451, QStringLiteral("Unavailable For Legal Reasons")},
        {506, QStringLiteral("Variant Also Negotiates")},
        {507, QStringLiteral("Insufficient Storage")},
        {508, QStringLiteral("Loop Detected")},
        {510, QStringLiteral("Not Extended")},
        {511, QStringLiteral("Network Authentication Required")},
    };
    return phrases.value(code);
}

// A reason phrase as the server sent it, kept to one short line of visible text: it ends up in
// the error list, the report and the project file.
QString cleanPhrase(const QString& phrase)
{
    constexpr qsizetype kLongest = 80;
    QString out;
    for (const QChar c : phrase) {
        if (out.size() >= kLongest)
            break;
        if (c.isPrint() && c != u'|')
            out.append(c);
        else if (c.isSpace() && !out.endsWith(u' '))
            out.append(u' ');
    }
    return out.trimmed();
}

} // namespace

QString PageFetcher::statusProblem(const QString& head)
{
    const auto [code, phrase] = ResponseHead::statusLine(head);
    if (code.isEmpty() || code == QStringLiteral("200"))
        return {};
    if (const QString text = statusText(code); !text.isEmpty())
        return text;
    const int number = ResponseHead::statusCode(head);
    if (number < 400)
        return {};
    QString reason = cleanPhrase(phrase);
    if (reason.isEmpty())
        reason = usualPhrase(number);
    return reason.isEmpty() ? code : code + u' ' + reason;
}

} // namespace corvane
