#pragma once

#include "model/AppFolder.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace corvane {

class GetLinks;
class NetworkContext;
class Project;
class SettingsStore;

// The two import windows, fixed-size and not modal. "Import Linking Sites" (Form4) appends
// Linking Sites to the current Main Site from a text file, from the links of the user's own link
// page or from a script's delimited list; "Import Main Sites" (Form4a) appends Main Sites from a
// text file. Each reads its controls, hands them to the importer and shows the outcome in its
// status panel. They are dialogs that leave the main window usable; Close or Escape closes one
// (and deletes it), abandoning a download it runs.
class ImportWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImportWindow)

public:
    enum class Kind { LinkingSites, MainSites };

    ImportWindow(Kind kind, Project& project, SettingsStore& settings, AppFolder app,
                 NetworkContext& network, QWidget* parent);
    ~ImportWindow() override;

    // Shows the window of that name ("Form4" or "Form4a") of parent, making it when it is not
    // open. False for any other name.
    static bool open(const QString& name, QWidget* parent, Project& project,
                     SettingsStore& settings, const AppFolder& app, NetworkContext& network);

    Kind kind() const { return m_kind; }
    QString statusText() const;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QGroupBox* buildFileFrame();
    QGroupBox* buildSpiderFrame();
    void importFile();
    void getLinks();
    void addSelected();
    void setOption(int option);
    void setStatus(const QString& text);

    Kind m_kind;
    Project& m_project;
    SettingsStore& m_settings;
    AppFolder m_app;
    GetLinks* m_getLinks = nullptr;
    int m_delimiterIndex = -1;

    QPushButton* Command4 = nullptr;
    QRadioButton* Option1[2] = {};
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QLabel* StatusBar1 = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace corvane
