#include "history/PartnerOutcome.h"

#include "model/ResultNotes.h"
#include "net/BotChallenge.h"

namespace corvane {

namespace {

// The reasons the page analysis gives when the partner's pages were read but held no link: the
// link is missing, not the partner unreachable.
const QStringList kPageWarnings = {
    QStringLiteral("Possible Redirected URL"), QStringLiteral("Source Protected"),
    QStringLiteral("Server Script Error"), QStringLiteral("Possible Rule Problem")};
const QString kSkipped = QStringLiteral("Skipped");

} // namespace

QStringList PartnerOutcome::statuses() const
{
    QStringList out;
    for (const ResultEntry& row : rows) {
        if (!out.contains(row.status))
            out.append(row.status);
    }
    return out;
}

QString PartnerOutcome::reason() const
{
    for (const ResultEntry& row : rows) {
        const QString r = PartnerVerdict::reasonOf(row.status);
        if (!r.isEmpty())
            return r;
    }
    return {};
}

int PartnerOutcome::noValueLinks() const
{
    int count = 0;
    for (const ResultEntry& row : rows) {
        if (PartnerVerdict::isFound(row.status) && ResultNotes::read(row.notes).passesNoValue())
            ++count;
    }
    return count;
}

bool PartnerOutcome::noValueLinksOnly() const
{
    int found = 0;
    for (const ResultEntry& row : rows)
        found += PartnerVerdict::isFound(row.status);
    return found > 0 && noValueLinks() == found;
}

namespace PartnerVerdict {

bool isFound(const QString& status)
{
    return status == LinkStatus::Direct || status == LinkStatus::Domain
           || status == LinkStatus::Indirect || status == LinkStatus::Redirect;
}

QString reasonOf(const QString& status)
{
    const QString prefix = LinkStatus::NoneFound + QStringLiteral(" (");
    if (!status.startsWith(prefix) || !status.endsWith(u')'))
        return {};
    return status.mid(prefix.size(), status.size() - prefix.size() - 1);
}

PartnerOutcome::Verdict of(const QList<ResultEntry>& rows)
{
    bool found = false;
    bool missing = false;
    bool error = false;
    bool skipped = false;
    bool blocked = false;
    for (const ResultEntry& row : rows) {
        if (row.status.startsWith(LinkStatus::Missing)) {
            missing = true;
        } else if (isFound(row.status)) {
            found = true;
        } else if (row.status.startsWith(LinkStatus::NoneFound)) {
            const QString reason = reasonOf(row.status);
            if (reason == kSkipped)
                skipped = true;
            else if (reason == BotChallenge::kBlocked)
                blocked = true;
            else if (reason.isEmpty() || kPageWarnings.contains(reason))
                missing = true;
            else
                error = true;
        }
    }
    if (missing)
        return PartnerOutcome::Verdict::Missing;
    if (found)
        return PartnerOutcome::Verdict::LinksBack;
    if (blocked)
        return PartnerOutcome::Verdict::Blocked;
    if (error)
        return PartnerOutcome::Verdict::Error;
    if (skipped || rows.isEmpty())
        return PartnerOutcome::Verdict::NotChecked;
    return PartnerOutcome::Verdict::Missing;
}

QString name(PartnerOutcome::Verdict verdict)
{
    switch (verdict) {
    case PartnerOutcome::Verdict::LinksBack:
        return QStringLiteral("linksBack");
    case PartnerOutcome::Verdict::Missing:
        return QStringLiteral("missing");
    case PartnerOutcome::Verdict::Error:
        return QStringLiteral("error");
    case PartnerOutcome::Verdict::Blocked:
        return QStringLiteral("blocked");
    case PartnerOutcome::Verdict::NotChecked:
        break;
    }
    return QStringLiteral("notChecked");
}

QList<PartnerOutcome> fromResults(const ResultList& results)
{
    QList<PartnerOutcome> partners;
    for (int i = 0; i < results.count(); ++i) {
        const ResultEntry row = results.entry(i);
        if (partners.isEmpty() || partners.last().main != row.main
            || partners.last().linkingSite != row.remote) {
            PartnerOutcome p;
            p.main = row.main;
            p.linkingSite = row.remote;
            partners.append(p);
        }
        partners.last().rows.append(row);
    }
    for (PartnerOutcome& p : partners)
        p.verdict = of(p.rows);
    return partners;
}

} // namespace PartnerVerdict

} // namespace corvane
