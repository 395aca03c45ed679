#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QMenu;

namespace corvane {

class Project;
class RecordListView;

// The "Links" tab: the results of the last scan and its errors and warnings.
class LinksTab final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinksTab)

public:
    explicit LinksTab(Project& project, QWidget* parent = nullptr);

    RecordListView* resultsView() const { return List3; }
    RecordListView* errorsView() const { return lstErr; }
    QMenu* resultsMenu() const { return Popup2; }
    // The summary of the last scan, read out with the tab and its results list.
    void setSummary(const QString& text);
    QCheckBox* changesOnlySwitch() const { return chkChangesOnly; }

Q_SIGNALS:
    // Show this URL in the Web tab; withAddress: also put it into the address box.
    void browseRequested(const QString& url, bool withAddress);

private:
    QList<int> resultWidths(int width) const;
    void chooseMenuItem(int item);
    void openErrorRow(int row);
    // "Show changes only": hides the rows whose partner did not change at the last scan.
    void applyChangesOnly();

    Project& m_project;
    QLabel* lblResults;
    QCheckBox* chkChangesOnly;
    RecordListView* List3;
    QLabel* lblErr;
    RecordListView* lstErr;
    QMenu* Popup2;
};

} // namespace corvane
