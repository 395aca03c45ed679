#pragma once

#include "model/ProjectLists.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace corvane {

// What one scan learned of one partner (a Linking Site of a Main Site), read from its result rows.
// Found: a link is there. NotFound: the partner's pages were read and hold no link (plain "None
// Found", a page warning, or the page answered 404 or 410). Inconclusive: the scan could not tell
// (no answer, a refused or unknown host, a TLS error, 5xx, 429, bot protection, Skipped, the page
// limit): never taken for a lost link on its own.
struct PartnerCheck {
    enum class Outcome { Found = 0, NotFound = 1, Inconclusive = 2 };

    Outcome outcome = Outcome::Inconclusive;
    QString status;  // the decisive status: the first link's, the "Missing"/"None Found" row's
    QString foundOn; // the page of the first link found
    int links = 0;   // links found
    int missing = 0; // the count of its "Missing 00N" row
    QString notes;   // the notes of its links, each part once, "; " between them
    QDateTime checked;

    // Nullopt when the rows say nothing of the partner (no rows: it was not checked). pageErrors
    // are the error rows of its crawl: when a page could not be read (5xx, 429, 408, 403, a
    // private address, a host that could not be reached, an answer that broke off or could not be
    // decoded, a proxy that failed), the link may be on it, so "not found" is only inconclusive,
    // and notes names the first such page ("page not read: 500 Internal Error
    // partner.example/links.html").
    static std::optional<PartnerCheck> fromRows(const QList<ResultEntry>& rows,
                                                const QDateTime& checked,
                                                const QList<ErrorEntry>& pageErrors = {});
    // Whether an error row says its page was not read (rather than read and found wanting).
    static bool pageNotRead(const QString& error);
    static Outcome outcomeOfReason(const QString& reason);
    // "found", "not found", "inconclusive"
    static QString outcomeName(Outcome outcome);
};

// A partner's change at one scan, against the scans before it.
struct PartnerChange {
    enum class Kind { Unchanged = 0, New, Lost, Restored, Changed, Unreachable };

    Kind kind = Kind::Unchanged;
    QString detail; // what changed: "now nofollow", "moved to partner.example/friends.html"
    // A check of the history's first scan: there is nothing to compare it with, so it tells no
    // change at all (not "new" for every partner that links, not "unchanged" for the others).
    bool firstScan = false;

    // "unchanged", "new", "lost", "restored", "changed", "unreachable"
    static QString name(Kind kind);
    static std::optional<Kind> kindNamed(const QString& name);
    // Empty for a check of the first scan.
    QString name() const { return firstScan ? QString() : name(kind); }
    // The name, and after ": " the detail when there is one ("lost: unreachable for 3 scans");
    // empty for a check of the first scan.
    QString text() const;
    // The kind at the start of a text made by text().
    static std::optional<Kind> kindOfText(const QString& text);

    bool operator==(const PartnerChange&) const = default;
};

// What a partner's checks so far add up to: whether it was ever found and is now lost, its last
// conclusive and last found check, how many inconclusive checks came in a row, and the dates the
// user sees (linked since, last confirmed, last checked). step() is the one place where a change
// is decided; every reader (window, report, command line) reads the change it stored.
struct PartnerRecord {
    bool everFound = false;
    bool lost = false; // found before, and since then not found, or unreachable too long
    int failuresInRow = 0;
    std::optional<PartnerCheck> lastFound;
    QDateTime linkedSince;   // the first check that found it
    QDateTime lastConfirmed; // the last check that found it
    QDateTime lastChecked;

    // Takes the next check in; lostAfterFailures: the inconclusive checks in a row after which a
    // partner last seen linking counts as lost ("LostAfterFailures", at least 1).
    PartnerChange step(const PartnerCheck& check, int lostAfterFailures);

    // Whether the partner's link was found and has not been lost since.
    bool linksNow() const { return everFound && !lost; }
    // What the user reads of the link, with each date made by day: "Linked since DATE" while it
    // links, "Last found DATE" once it is lost (it no longer links, whatever it did before),
    // "never linked" when no scan found it.
    QString linkText(const std::function<QString(const QDateTime&)>& day) const;

    QJsonObject toJson() const;
    static PartnerRecord fromJson(const QJsonObject& object);
};

// What differs between two checks that both found the link; empty when nothing does.
QString describeDifference(const PartnerCheck& before, const PartnerCheck& now);

} // namespace corvane
