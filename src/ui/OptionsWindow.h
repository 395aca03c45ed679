#pragma once

#include "model/FileTypeList.h"
#include "model/ScanOptions.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace corvane {

class ScheduleRows;
class SettingsStore;

// "Scanning Options" (frmOptions), not modal. It has no OK or Cancel, only Close: every control
// writes its setting the moment it changes, and the file-type list is saved to "filetypes.txt" at
// every change, through ScanOptions and FileTypeList.
class OptionsWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsWindow)

public:
    OptionsWindow(SettingsStore& settings, const QString& fileTypesPath, QWidget* parent = nullptr);

    void addFileType();
    void deleteFileType();
    // The open project, which "Scan this project automatically" schedules; empty when unsaved.
    void setProjectPath(const QString& path);

Q_SIGNALS:
    // "Open Global Rules Editor" was pressed.
    void globalRulesRequested();

private:
    QCheckBox* addCheckBox(QWidget* parent, const QString& key, const QString& caption);
    QLineEdit* addNumberField(QWidget* parent, const QString& name, const QString& key,
                              const QString& readKey, const QString& replacement);
    void showFileTypes();

    ScanOptions m_options;
    FileTypeList m_fileTypes;
    QComboBox* cmbAdvance = nullptr;
    QLineEdit* txtTimeout = nullptr;
    QLineEdit* txtHostInterval = nullptr;
    QLineEdit* txtAutoSave = nullptr;
    QLineEdit* txtLostAfterFailures = nullptr;
    QLineEdit* txtParallelSites = nullptr;
    QLineEdit* txtUserAgent = nullptr;
    QComboBox* cmbProxy = nullptr;
    QLineEdit* txtProxy = nullptr;
    QLineEdit* txtDomain = nullptr;
    QPushButton* cmdAdd2 = nullptr;
    QPushButton* cmdDelete = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdClose = nullptr;
    ScheduleRows* m_schedule = nullptr;
};

} // namespace corvane
