#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

class ErrorList;
class LinkingSiteList;
class RecordTableModel;
class ResultList;

// What the lists' header clicks, context menus and error-row actions do. The window reads the
// selected row, calls one of these and shows what comes back (a URL to browse, a text for the
// clipboard, a message).
namespace ResultListActions {

inline const QString kSortRefused
    = QStringLiteral("You cannot sort this column while a search is running.");

// A header click on a Linking Site list: refused while a scan runs (the message to show is
// returned and the list stays as it is); otherwise the list is sorted by the 1-based column.
QString sortLinkingSites(LinkingSiteList& list, int column, bool scanRunning);
// A header click on the results or the errors list, allowed during a scan. Returns the sort's
// success, which the window ignores.
bool sortList(RecordTableModel& list, int column);

// "http://" in front of a text that does not contain "http" anywhere (any letter case).
QString CompleteUrl(const QString& url);

// The items of the results list's context menu, by position.
enum class ResultMenuItem {
    BrowseMainSite = 0,
    BrowseLinkingSite = 1,
    BrowseFoundOn = 2,
    CopyMainSite = 3,
    CopyLinkingSite = 4,
    CopyFoundOn = 5,
    Separator = 6,
    MarkAsFound = 7,
    MarkAsNoneFound = 8,
};
QStringList resultMenuCaptions(); // "-" for the separator

struct MenuOutcome {
    enum class Kind { Nothing, Browse, Copy, Marked };
    Kind kind = Kind::Nothing;
    QString text; // the URL to browse in the Web tab, or the clipboard text
};

// The chosen item on the 0-based row; a missing row does nothing. Marking changes only that row
// of the results list: neither the Linking Site list, the statistics nor the project's saved
// state.
MenuOutcome chooseResultMenuItem(ResultList& results, int row, ResultMenuItem item);

// "Mark as Found": Status "Direct Link", blue, icon 2.
void markAsFound(ResultList& results, int row);
// "Mark as None Found": Status "None Found", red, icon 1.
void markAsNoneFound(ResultList& results, int row);

// The completed URL of an error row, for the user's browser (double-click) or the Web tab (the
// start of an in-place edit); empty for a missing row.
QString errorRowUrl(const ErrorList& errors, int row);

} // namespace ResultListActions

} // namespace corvane
