#pragma once

#include <QString>

namespace corvane {

class Project;
class ScanStatistics;
class SettingsStore;

// Writes the scan's result rows: each link found on a page, and the outcome of a Linking Site when
// it ends ("Missing 00N", "Redirect Link", "None Found (reason)"), with the row colours and the
// Linking Site URL updates that go with them.
class ResultRecorder
{
public:
    ResultRecorder(Project& project, const SettingsStore& settings, ScanStatistics& statistics);

    // A link to the Main Site found on the page pageUrl: counted in lSiteLinks, iLinksFound and
    // lLinkSerial, a blue row numbered by lLinkSerial, the Linking Site coloured blue and, with
    // "chkUpdate" on, its URL replaced by pageUrl.
    // notes: how the link is made (its "Notes" column).
    void recordLink(const QString& status, const QString& pageUrl, const QString& notes = {});
    // The outcome of the Linking Site that ends; strProblem already holds " (reason)" or nothing.
    // pageUrl: the last page requested.
    void recordOutcome(const QString& pageUrl);

    // The "No." column and the count after "Missing ": left-padded with "0" to three digits.
    static QString zeroPadded(qint64 number);

private:
    Project& m_project;
    const SettingsStore& m_settings;
    ScanStatistics& m_statistics;
};

} // namespace corvane
