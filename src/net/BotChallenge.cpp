#include "net/BotChallenge.h"

#include "net/ResponseHead.h"
#include "web/CharacterReferences.h"

#include <QStringMatcher>

#include <algorithm>

namespace corvane::BotChallenge {

namespace {

// A challenge page is small and names itself in its head: the title is looked for this far only.
constexpr qsizetype kTitleReach = 64 * 1024;

bool isKnownTitle(QStringView title)
{
    for (const QString& known : kTitles) {
        if (!title.startsWith(known, Qt::CaseInsensitive))
            continue;
        const QStringView rest = title.sliced(known.size());
        if (rest.isEmpty() || rest.startsWith(u" | "))
            return true;
    }
    return false;
}

} // namespace

QString titleOf(QStringView body)
{
    static const QStringMatcher open(u"<title", Qt::CaseInsensitive);
    static const QStringMatcher close(u"</title", Qt::CaseInsensitive);
    const QStringView head = body.first(std::min(body.size(), kTitleReach));
    qsizetype at = 0;
    while ((at = open.indexIn(head, at)) >= 0) {
        at += 6;
        // "<titles>" is another tag.
        if (at < head.size() && (head[at] == u'>' || head[at].isSpace()))
            break;
    }
    if (at < 0)
        return {};
    const qsizetype textFrom = head.indexOf(u'>', at);
    if (textFrom < 0)
        return {};
    const qsizetype textTo = close.indexIn(head, textFrom);
    if (textTo < 0)
        return {};
    return CharacterReferences::decode(head.sliced(textFrom + 1, textTo - textFrom - 1),
                                      CharacterReferences::Context::Text)
        .simplified();
}

bool isChallenge(QStringView head, QStringView body)
{
    const int code = ResponseHead::statusCode(head.toString());
    if (code != 403 && code != 503)
        return false;
    for (const QStringView value : ResponseHead::fieldValues(head, u"cf-mitigated")) {
        if (value.compare(u"challenge", Qt::CaseInsensitive) == 0)
            return true;
    }
    return isKnownTitle(titleOf(body));
}

} // namespace corvane::BotChallenge
