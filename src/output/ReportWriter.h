#pragma once

#include "model/AppFolder.h"
#include "output/OutputFile.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>

namespace corvane {

class HistoryStore;
class Project;
class ProjectHistory;
class ScanStatistics;
class SettingsStore;

// The totals of the report's overview table.
struct ReportCounts {
    qint32 mainSites = 0;
    qint32 linkingSites = 0;
    qint32 pagesScanned = 0;
    qint32 direct = 0;
    qint32 indirect = 0;
    qint32 redirect = 0;
    qint32 reciprocal = 0; // direct + indirect + redirect
    qint32 nonLinking = 0; // any other status containing "None Found"
    // "None Found (Blocked by bot protection)": the partner could not be read, so it is not counted
    // as non-linking; the overview lists them only when there are some.
    qint32 blocked = 0;
    qint32 errors = 0; // error rows, those of blocked partners left out (they count as blocked)
    // From the rows' notes; the overview lists them only when some row has notes.
    qint32 withNotes = 0;
    qint32 nofollow = 0;
    qint32 sponsored = 0;
    qint32 ugc = 0;
    qint32 onNoindexPages = 0;
    qint32 onRobotsBlockedPages = 0;
    qint32 onCanonicalElsewherePages = 0;
};

// The HTML link report "Reciprocal Link Report": an overview of totals, percentages and averages,
// then one section per Main Site with a block for every result row of its Linking Sites. It is
// written to tempreport.html in the application folder and, while a project file is known
// (setting "LastProject"), to a copy named after the project in "Project Files/". It reads the
// project and never changes it.
class ReportWriter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportWriter)

public:
    struct Generation {
        QString document;
        QString tempFile;
        QString projectCopy; // empty when no project file is known
        // One "Error: " text per file that could not be written; the generation itself shows
        // no message, the window may put these in its status bar.
        QStringList failures;
    };

    ReportWriter(const Project& project, const AppFolder& folder, const SettingsStore& settings,
                 QObject* parent = nullptr);

    // Generate report: builds the document, writes both files and signals reportGenerated.
    // Runs at every scan stop and after the quick-save rebuild.
    Generation generate(qint32 pagesScanned);
    Generation generate(qint32 pagesScanned, const QDateTime& now, const QLocale& locale);

    // The pages scanned come from these statistics (none: 0 pages).
    void setStatistics(const ScanStatistics* statistics) { m_statistics = statistics; }
    // Generate report with the statistics' pages scanned: connected to the scan's stop and to
    // the project's rebuild after a Main Site deletion.
    void regenerate();

    // Save Report As: copies the last generated report to the chosen name. The question is asked
    // when a file of exactly that name exists; ".htm" is appended unless the name contains it.
    WriteOutcome saveReportAs(const QString& chosenName, const OverwriteQuestion& ask) const;

    QString tempReportPath() const;
    // "Project Files/" and the project's file name with every ".prj" (any case) made ".html";
    // empty while "LastProject" is empty.
    QString projectCopyPath() const;

    static ReportCounts count(const Project& project, qint32 pagesScanned);
    // The whole document; every text taken from the project or from scanned pages is
    // HTML-escaped. F-values (percentages, average) and the date and time follow the locale.
    // With a history: "Changes since DATE" (or "First scan: ...") before the overview, each
    // partner's "Linked since DATE" or "Last found DATE" and a chart of the partners linking back
    // per scan under each Main Site. The heading names the project's file (projectFile, when
    // known) and its Main Sites. The document holds only what Windows-1252, the charset it
    // declares and is written in, can hold: any other character is a character reference.
    static QString buildDocument(const Project& project, qint32 pagesScanned, const QDateTime& now,
                                 const QLocale& locale, const HistoryStore* history = nullptr,
                                 const QString& projectFile = {});
    // The project's history, read at each generation (none: the report has no history part).
    void setHistory(ProjectHistory* history) { m_history = history; }

    static inline const QString kSaveFilter
        = QStringLiteral("HTML Files (*.htm, *.html)|*.htm,*.html");

Q_SIGNALS:
    // The "Reports" view shows this file.
    void reportGenerated(const QString& tempFile);

private:
    const Project& m_project;
    AppFolder m_folder;
    const SettingsStore& m_settings;
    const ScanStatistics* m_statistics = nullptr;
    ProjectHistory* m_history = nullptr;
};

} // namespace corvane
