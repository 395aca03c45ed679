#pragma once

#include "model/ProjectLists.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace corvane {

// What became of one Linking Site in a scan, read from its result rows: it links back, its links
// are missing (none found, or fewer than expected), it could not be checked properly (the server
// gave an error status, never answered, or the host name is not one), it was not checked at all
// (the scan stopped before it, or it was skipped), or a bot-protection wall kept the scan out
// before any link was found (blocked: nothing is known of its link).
struct PartnerOutcome {
    // The values index the count arrays of the summaries: new ones go at the end.
    enum class Verdict { LinksBack, Missing, Error, NotChecked, Blocked };
    static constexpr int kVerdictCount = 5;

    QString main;        // the Main Site as the results name it (no scheme, no "www.")
    QString linkingSite; // the Linking Site as listed when its scan began
    int mainPosition = 0; // 1-based; 0 when unknown (grouped from saved results)
    int row = 0;          // 1-based row of the Linking Site list; 0 when unknown
    QList<ResultEntry> rows; // its result rows, in list order
    Verdict verdict = Verdict::NotChecked;
    int pages = -1;       // page requests made for it; -1 when unknown
    double seconds = -1;  // time it took; -1 when unknown

    // The distinct statuses of its rows, in order ("Direct Link", "Missing 001").
    QStringList statuses() const;
    // The reason of its "None Found (reason)" row; empty when there is none.
    QString reason() const;
    // Its rows that record a link whose notes say it passes no value (nofollow, sponsored, ugc,
    // a page closed to search engines).
    int noValueLinks() const;
    // Whether it has links and every one of them passes no value.
    bool noValueLinksOnly() const;
};

namespace PartnerVerdict {

// The verdict of a finished Linking Site from its rows.
PartnerOutcome::Verdict of(const QList<ResultEntry>& rows);
// "Timeout" of "None Found (Timeout)"; empty for a status without a reason.
QString reasonOf(const QString& status);
// A status that records a link back: Direct, Domain, Indirect or Redirect Link.
bool isFound(const QString& status);
// The names used in the JSON: "linksBack", "missing", "error", "notChecked", "blocked".
QString name(PartnerOutcome::Verdict verdict);

// The Linking Sites of saved results, when no scan is at hand: consecutive rows of one Main Site
// and one Linking Site make one outcome, in list order.
QList<PartnerOutcome> fromResults(const ResultList& results);

} // namespace PartnerVerdict

} // namespace corvane
