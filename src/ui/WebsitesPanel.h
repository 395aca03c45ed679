#pragma once

#include <QGroupBox>

#include <functional>

class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;

namespace corvane {

class Project;
class ProjectEditor;
class RecordListView;

// The "Websites" frame: the Main Sites with their entry box and buttons, and below them the
// Linking Sites of the selected Main Site. One list view shows the Linking Site list of the
// selected Main Site. Every button hands what the controls hold to the ProjectEditor and shows
// what comes back.
class WebsitesPanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebsitesPanel)

public:
    WebsitesPanel(Project& project, ProjectEditor& editor, QWidget* parent = nullptr);

    // Selects Main Site k (1-based) in its list and runs the selection, as a click does.
    void selectMainSite(int k);
    // Clicks row (1-based) of the shown Linking Site list.
    void clickLinkingSiteRow(int row);
    // 1-based; 0 when nothing is selected.
    int selectedMainSite() const;
    int selectedLinkingSiteRow() const;
    // The panel cleared after New, Open or a rebuild.
    void clearEntries();

    QLineEdit* mainSiteEntry() const { return txtDomain; }
    QLineEdit* linkingSiteEntry() const { return Text1; }
    RecordListView* linkingSitesView() const { return List1; }
    QWidget* firstControl() const;
    // The tool tip of a Linking Site row (Main Site position, 1-based row); empty: none.
    void setRowToolTip(std::function<QString(int, int)> toolTip) { m_rowToolTip = std::move(toolTip); }

Q_SIGNALS:
    void statusHint(const QString& text);
    void messageRaised(const QString& text);
    // A window of a later part (an editor, an import window) was asked for.
    void windowRequested(const QString& name);
    // "History..." on a Linking Site row.
    void historyRequested(int mainSite, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<QString(int, int)> m_rowToolTip;
    void onMainSiteSelected(int k, const QString& caption);
    void onPanelHidden();
    void onLinkingSiteRowClicked();
    // True when the Main Site was added.
    bool addMainSite();
    void addLinkingSite();
    void deleteMainSite();
    void deleteLinkingSite();
    void showMessage(const QString& text);
    // "Delete ...?", No the default: a delete takes a row with its rules and results at once.
    bool confirmDelete(const QString& question);

    Project& m_project;
    ProjectEditor& m_editor;
    bool m_selecting = false;

    QWidget* innerFrame1;
    QLineEdit* txtDomain;
    QPushButton* cmdAdd2;
    QPushButton* cmdDelete;
    QPushButton* cmdEditMain;
    QPushButton* cmdImport2;
    QListView* List4;
    QWidget* innerFrame2;
    QLabel* lblblah;
    QLineEdit* Text1;
    QPushButton* cmdAdd;
    QPushButton* cmbDel;
    QPushButton* cmdEdit;
    QPushButton* cmdImport;
    RecordListView* List1;
    QMenu* Popup1;
};

} // namespace corvane
