#pragma once

#include "output/OutputFile.h"

#include <QString>

namespace corvane {

class Project;
class SettingsStore;

// The "Pages" tab: turns the results into the HTML of a links page (one link per Linking Site that
// links back, with the link address, text and description recorded for it) and saves the user's
// HTML before the links, the links and the HTML after them as one web page. The three parts are
// the project's page texts, mirrored into the settings "txtHTML1".."txtHTML3" on every change.
class LinkPageBuilder
{
public:
    struct Options {
        int optAll = 0;           // 0 all Main Sites, 1 only selectedMainSite
        QString selectedMainSite; // the text of the Main Site selector (Combo3), "Select" unset
        bool newWindow = true;    // chkNewWin
        bool bullets = false;     // chkBullet
    };

    struct Generation {
        bool refused = false; // empty results list: nothing changed
        QString message;      // what to show in a message box when refused
        QString links;        // the new "Generated Links" part
    };

    LinkPageBuilder(Project& project, SettingsStore& settings);

    // Generate Links: reads "optAll", "chkNewWin" and "chkBullet", builds the links and makes them
    // the second part (project and setting "txtHTML2").
    Generation generateLinks(const QString& selectedMainSite);
    // The links alone, without touching anything.
    static QString buildLinks(const Project& project, const Options& options);

    // Save Webpage: the three parts joined by two CR LF each, written to the chosen name as it
    // is (no extension added, an existing file replaced without a question).
    WriteOutcome saveWebpage(const QString& chosenName) const;
    QString pageText() const;

    // The settings the tab writes when its controls change.
    void setPart(int part, const QString& text);
    void setOptAll(int option);
    void setNewWindow(bool checked);
    void setBullets(bool checked);
    // Start-up: the three parts from the settings (their defaults when never written).
    void loadPartsFromSettings();

    static inline const QString kNoResultsMessage = QStringLiteral(
        "No links were found in your Links List to generate HTML from.  Please scan for links "
        "first.");
    static inline const QString kSaveFilter
        = QStringLiteral("Web Files (*.htm, *.html, *.asp, *.php, *.txt)|*.htm;*.asp;*.php;*.html");

private:
    Project& m_project;
    SettingsStore& m_settings;
};

} // namespace corvane
