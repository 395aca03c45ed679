#pragma once

#include "output/LinkPageBuilder.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace corvane {

class MainSiteList;
class Project;
class SettingsStore;

// The "Pages" tab, the page builder: the user's HTML before the links, the generated links and
// the HTML after them, which Main Sites to make links for, whether links open a new window and
// form a bulleted list, "Generate Links" and "Save Webpage". The three texts are the project's
// page texts: an edit goes to the project and its setting at once, and a project read from a
// file shows its own.
class PagesTab final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PagesTab)

public:
    PagesTab(Project& project, SettingsStore& settings, QWidget* parent = nullptr);

    // Empties the Main Site selector and fills it with the Main Sites in list order; a site
    // chosen before stays chosen.
    void refill(const MainSiteList& mainSites);
    QComboBox* selector() const { return Combo3; }

private:
    void generateLinks();
    void saveWebpage();
    void setOption(int option);
    void showPart(int part, const QString& text);

    Project& m_project;
    LinkPageBuilder m_builder;
    const SettingsStore& m_settings;
    QGroupBox* Frame5;
    QPlainTextEdit* m_parts[3];
    bool m_showingPart = false; // a text from the project is being shown, not typed
    QRadioButton* optAll[2];
    QComboBox* Combo3;
    QCheckBox* chkNewWin;
    QCheckBox* chkBullet;
    QPushButton* Command5;
    QPushButton* Command6;
};

// Fills a Main Site selector anew, keeping the text it had.
void refillSiteSelector(QComboBox* selector, const MainSiteList& mainSites);
// Page texts and logs are kept with CR LF line ends; a text box hands over bare line feeds.
QString withCrLf(QString text);

} // namespace corvane
