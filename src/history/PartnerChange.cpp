#include "history/PartnerChange.h"

#include "history/PartnerOutcome.h"
#include "net/ContentDecoder.h"
#include "net/NetworkContext.h"
#include "net/ResponseReader.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>

namespace corvane {

namespace {

// The reasons that say the partner's pages were read and hold no link: the page analysis'
// warnings, and a page that is gone. Every other reason leaves the question open.
const QStringList kConclusiveReasons = {
    QStringLiteral("Possible Redirected URL"), QStringLiteral("Source Protected"),
    QStringLiteral("Server Script Error"),     QStringLiteral("Possible Rule Problem"),
    QStringLiteral("404 Not found"),           QStringLiteral("410 Gone")};

const QString kSeparator = QStringLiteral("; ");

QStringList noteParts(const QString& notes)
{
    QStringList parts;
    qsizetype start = 0;
    while (start < notes.size()) {
        // The link text comes last and may hold "; " itself.
        if (QStringView(notes).sliced(start).startsWith(u"text \"")) {
            parts.append(notes.mid(start));
            break;
        }
        qsizetype end = notes.indexOf(kSeparator, start);
        if (end < 0)
            end = notes.size();
        if (end > start)
            parts.append(notes.mid(start, end - start));
        start = end + kSeparator.size();
    }
    return parts;
}

bool isLinkText(const QString& part)
{
    return part.startsWith(QStringLiteral("text \""));
}

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

QDateTime timeFrom(const QJsonValue& value)
{
    const QString text = value.toString();
    if (text.isEmpty())
        return {};
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    return t.toLocalTime();
}

QString plural(int n, const char* one, const char* many)
{
    return QString::number(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

} // namespace

PartnerCheck::Outcome PartnerCheck::outcomeOfReason(const QString& reason)
{
    return reason.isEmpty() || kConclusiveReasons.contains(reason) ? Outcome::NotFound
                                                                   : Outcome::Inconclusive;
}

QString PartnerCheck::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Found:
        return QStringLiteral("found");
    case Outcome::NotFound:
        return QStringLiteral("not found");
    case Outcome::Inconclusive:
        break;
    }
    return QStringLiteral("inconclusive");
}

bool PartnerCheck::pageNotRead(const QString& error)
{
    // A server error, a refusal for load (429, and the 403 some firewalls give a busy crawler), a
    // request that timed out, a page this program would not fetch, or a proxy on the way that
    // failed (its 407 among them): the partner's server was never asked.
    static const QRegularExpression unread(QStringLiteral("^(5\\d\\d|429|408|407|403)\\b"));
    // A page that could not be reached, or whose answer broke off or could not be read: the
    // crawl went on without it.
    static const QStringList unreached = {QStringLiteral("Refused: private address"),
                                          QStringLiteral("Connection refused"),
                                          QStringLiteral("Host not found"),
                                          QStringLiteral("Network unreachable"),
                                          ResponseReader::kClosedEarly,
                                          ResponseReader::kNoAnswer,
                                          ResponseReader::kNotHttp,
                                          ResponseReader::kBadChunk,
                                          ResponseReader::kHeadTooLong,
                                          ResponseReader::kTooManyInterim,
                                          NetworkContext::kProxyRefused,
                                          NetworkContext::kProxyNeedsAuthentication,
                                          NetworkContext::kProxyNotFound,
                                          NetworkContext::kProxyClosed,
                                          NetworkContext::kProxyNotHttp,
                                          NetworkContext::kProxyNoTunnel};
    // These carry what went wrong after them.
    static const QStringList unreadableBeginnings
        = {QStringLiteral("TLS error"), QStringLiteral("Certificate error"),
           ContentDecoder::kNotUnderstood, ContentDecoder::kDidNotDecode};
    if (unread.match(error).hasMatch() || unreached.contains(error))
        return true;
    return std::any_of(unreadableBeginnings.cbegin(), unreadableBeginnings.cend(),
                       [&error](const QString& start) { return error.startsWith(start); });
}

std::optional<PartnerCheck> PartnerCheck::fromRows(const QList<ResultEntry>& rows,
                                                   const QDateTime& checked,
                                                   const QList<ErrorEntry>& pageErrors)
{
    if (rows.isEmpty())
        return std::nullopt;
    PartnerCheck c;
    c.checked = checked;
    QStringList parts;
    QStringList texts;
    QString noneFound;
    for (const ResultEntry& row : rows) {
        if (PartnerVerdict::isFound(row.status)) {
            if (c.links == 0) {
                c.status = row.status;
                c.foundOn = row.url;
            }
            ++c.links;
            for (const QString& part : noteParts(row.notes)) {
                QStringList& into = isLinkText(part) ? texts : parts;
                if (!into.contains(part))
                    into.append(part);
            }
        } else if (row.status.startsWith(LinkStatus::Missing)) {
            c.missing = row.status.mid(LinkStatus::Missing.size()).toInt();
        } else if (row.status.startsWith(LinkStatus::NoneFound) && noneFound.isEmpty()) {
            noneFound = row.status;
        }
    }
    if (c.links > 0) {
        c.outcome = Outcome::Found;
        c.notes = (parts + texts).join(kSeparator);
        return c;
    }
    c.status = noneFound.isEmpty() ? rows.first().status : noneFound;
    c.outcome = noneFound.isEmpty() ? Outcome::NotFound
                                    : outcomeOfReason(PartnerVerdict::reasonOf(noneFound));
    if (c.outcome == Outcome::NotFound) {
        // The pages that were read hold no link; one that was not read may.
        for (const ErrorEntry& e : pageErrors) {
            if (pageNotRead(e.error)) {
                c.outcome = Outcome::Inconclusive;
                c.notes = QStringLiteral("page not read: ") + e.error + u' ' + e.url;
                break;
            }
        }
    }
    return c;
}

QString PartnerChange::name(Kind kind)
{
    switch (kind) {
    case Kind::Unchanged:
        break;
    case Kind::New:
        return QStringLiteral("new");
    case Kind::Lost:
        return QStringLiteral("lost");
    case Kind::Restored:
        return QStringLiteral("restored");
    case Kind::Changed:
        return QStringLiteral("changed");
    case Kind::Unreachable:
        return QStringLiteral("unreachable");
    }
    return QStringLiteral("unchanged");
}

std::optional<PartnerChange::Kind> PartnerChange::kindNamed(const QString& name)
{
    for (Kind k : {Kind::Unchanged, Kind::New, Kind::Lost, Kind::Restored, Kind::Changed,
                   Kind::Unreachable}) {
        if (PartnerChange::name(k) == name)
            return k;
    }
    return std::nullopt;
}

QString PartnerChange::text() const
{
    if (firstScan)
        return {};
    return detail.isEmpty() ? name() : name() + QStringLiteral(": ") + detail;
}

std::optional<PartnerChange::Kind> PartnerChange::kindOfText(const QString& text)
{
    const qsizetype colon = text.indexOf(u':');
    return kindNamed(colon < 0 ? text : text.left(colon));
}

QString describeDifference(const PartnerCheck& before, const PartnerCheck& now)
{
    QStringList said;
    if (now.foundOn != before.foundOn)
        said.append(QStringLiteral("moved to ") + now.foundOn);
    if (now.missing != before.missing)
        said.append(QStringLiteral("now ") + QString::number(now.missing)
                    + QStringLiteral(" missing, was ") + QString::number(before.missing));
    else if (now.links != before.links)
        said.append(QStringLiteral("now ") + plural(now.links, "link", "links")
                    + QStringLiteral(", was ") + QString::number(before.links));
    const QStringList was = noteParts(before.notes);
    const QStringList is = noteParts(now.notes);
    for (const QString& part : is) {
        if (was.contains(part))
            continue;
        said.append(isLinkText(part) ? QStringLiteral("link ") + part : QStringLiteral("now ") + part);
    }
    for (const QString& part : was) {
        if (!is.contains(part) && !isLinkText(part))
            said.append(QStringLiteral("no longer ") + part);
    }
    return said.join(kSeparator);
}

PartnerChange PartnerRecord::step(const PartnerCheck& check, int lostAfterFailures)
{
    lostAfterFailures = std::max(1, lostAfterFailures);
    lastChecked = check.checked;
    PartnerChange change;
    switch (check.outcome) {
    case PartnerCheck::Outcome::Found:
        if (!everFound) {
            change.kind = PartnerChange::Kind::New;
        } else if (lost) {
            change.kind = PartnerChange::Kind::Restored;
        } else if (lastFound) {
            change.detail = describeDifference(*lastFound, check);
            if (!change.detail.isEmpty())
                change.kind = PartnerChange::Kind::Changed;
        }
        everFound = true;
        lost = false;
        failuresInRow = 0;
        lastFound = check;
        lastConfirmed = check.checked;
        if (!linkedSince.isValid())
            linkedSince = check.checked;
        break;
    case PartnerCheck::Outcome::NotFound:
        if (everFound && !lost) {
            change.kind = PartnerChange::Kind::Lost;
            lost = true;
        }
        failuresInRow = 0;
        break;
    case PartnerCheck::Outcome::Inconclusive:
        ++failuresInRow;
        if (everFound && !lost && failuresInRow >= lostAfterFailures) {
            change.kind = PartnerChange::Kind::Lost;
            change.detail = QStringLiteral("unreachable for ")
                            + plural(failuresInRow, "scan", "scans");
            lost = true;
        } else {
            change.kind = PartnerChange::Kind::Unreachable;
            // An unread page says more than the status its crawl ended with.
            change.detail = check.notes.isEmpty() ? PartnerVerdict::reasonOf(check.status)
                                                  : check.notes;
            if (failuresInRow > 1)
                change.detail += (change.detail.isEmpty() ? QString() : kSeparator)
                                 + plural(failuresInRow, "scan", "scans")
                                 + QStringLiteral(" in a row");
        }
        break;
    }
    return change;
}

QString PartnerRecord::linkText(const std::function<QString(const QDateTime&)>& day) const
{
    if (!everFound)
        return QStringLiteral("never linked");
    if (lost)
        return QStringLiteral("Last found ") + day(lastConfirmed);
    return QStringLiteral("Linked since ") + day(linkedSince);
}

QJsonObject PartnerRecord::toJson() const
{
    QJsonObject o{{QStringLiteral("everFound"), everFound},
                  {QStringLiteral("lost"), lost},
                  {QStringLiteral("failuresInRow"), failuresInRow},
                  {QStringLiteral("linkedSince"), timeText(linkedSince)},
                  {QStringLiteral("lastConfirmed"), timeText(lastConfirmed)},
                  {QStringLiteral("lastChecked"), timeText(lastChecked)}};
    if (lastFound) {
        o.insert(QStringLiteral("lastFound"),
                 QJsonObject{{QStringLiteral("status"), lastFound->status},
                             {QStringLiteral("foundOn"), lastFound->foundOn},
                             {QStringLiteral("links"), lastFound->links},
                             {QStringLiteral("missing"), lastFound->missing},
                             {QStringLiteral("notes"), lastFound->notes},
                             {QStringLiteral("checked"), timeText(lastFound->checked)}});
    }
    return o;
}

PartnerRecord PartnerRecord::fromJson(const QJsonObject& o)
{
    PartnerRecord r;
    r.everFound = o.value(QStringLiteral("everFound")).toBool();
    r.lost = o.value(QStringLiteral("lost")).toBool();
    r.failuresInRow = o.value(QStringLiteral("failuresInRow")).toInt();
    r.linkedSince = timeFrom(o.value(QStringLiteral("linkedSince")));
    r.lastConfirmed = timeFrom(o.value(QStringLiteral("lastConfirmed")));
    r.lastChecked = timeFrom(o.value(QStringLiteral("lastChecked")));
    const QJsonObject f = o.value(QStringLiteral("lastFound")).toObject();
    if (!f.isEmpty()) {
        PartnerCheck c;
        c.outcome = PartnerCheck::Outcome::Found;
        c.status = f.value(QStringLiteral("status")).toString();
        c.foundOn = f.value(QStringLiteral("foundOn")).toString();
        c.links = f.value(QStringLiteral("links")).toInt();
        c.missing = f.value(QStringLiteral("missing")).toInt();
        c.notes = f.value(QStringLiteral("notes")).toString();
        c.checked = timeFrom(f.value(QStringLiteral("checked")));
        r.lastFound = c;
    }
    return r;
}

} // namespace corvane
