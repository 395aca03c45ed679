#pragma once

#include <QDialog>

class QLabel;
class QTableWidget;

namespace corvane {

class ProjectHistory;

// The history of one Linking Site: when it was first found linking back, last confirmed and last
// checked, and every scan of it (date, verdict, found on, notes, change). Modeless; it keeps what
// it showed when it was opened.
class HistoryWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryWindow)

public:
    // main: the Main Site as the results name it; url: the Linking Site as listed.
    HistoryWindow(ProjectHistory& history, const QString& main, const QString& url,
                  QWidget* parent = nullptr);

private:
    QLabel* lblSummary;
    QTableWidget* lstHistory;
};

} // namespace corvane
