#pragma once

#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
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

    // The verdict filter's choices, in the order of its box.
    enum VerdictFilter { AllVerdicts = 0, LinksBack, Missing, Blocked, Errors };
    // The change filter's choices while "Show changes only" is on.
    enum ChangeFilter { AnyChange = 0, Lost, New };

Q_SIGNALS:
    // Show this URL in the Web tab; withAddress: also put it into the address box.
    void browseRequested(const QString& url, bool withAddress);

private:
    QList<int> resultWidths(int width) const;
    void chooseMenuItem(int item);
    void openErrorRow(int row);
    // Hides the rows the filter row leaves out: the search text (partner or URL), the partner's
    // verdict, its change at the last scan ("Show changes only") and links that pass no value.
    // Rows are hidden in the view, so the list stays the core's one list in its own order.
    void applyFilters();
    // The Main column is shown only when the project has several Main Sites, unless the user
    // chose otherwise in the header's menu.
    void showMainColumnForProject();
    void setColumnShown(int column, bool shown);
    void showColumnMenu(const QPoint& pos);
    // The row's shown cells, tab-separated, to the clipboard.
    void copySelectedRow();

    Project& m_project;
    bool m_mainColumnChosen = false;
    bool m_rowsHidden = false; // the filters may have hidden rows

    QLabel* lblResults;
    QLineEdit* txtResultsFilter;
    QComboBox* cmbVerdict;
    QCheckBox* chkChangesOnly;
    QComboBox* cmbChange;
    QCheckBox* chkNoValue;
    QAction* m_copyRow;
    RecordListView* List3;
    QLabel* lblErr;
    RecordListView* lstErr;
    QMenu* Popup2;
};

} // namespace corvane
