#include "output/ResultListActions.h"

#include "model/ProjectLists.h"

namespace corvane::ResultListActions {

QString sortLinkingSites(LinkingSiteList& list, int column, bool scanRunning)
{
    if (scanRunning)
        return kSortRefused;
    list.sortByColumn(column);
    return {};
}

bool sortList(RecordTableModel& list, int column)
{
    return list.sortByColumn(column);
}

QString CompleteUrl(const QString& url)
{
    return url.contains(QStringLiteral("http"), Qt::CaseInsensitive)
        ? url
        : QStringLiteral("http://") + url;
}

QStringList resultMenuCaptions()
{
    return {QStringLiteral("Browse Main Site"),
            QStringLiteral("Browse Linking Site"),
            QStringLiteral("Browse Found On"),
            QStringLiteral("Copy Main Site"),
            QStringLiteral("Copy Linking Site"),
            QStringLiteral("Copy Found On"),
            QStringLiteral("-"),
            QStringLiteral("Mark as Found"),
            QStringLiteral("Mark as None Found")};
}

void markAsFound(ResultList& results, int row)
{
    if (row < 0 || row >= results.count())
        return;
    results.setCell(row, ResultList::Status, LinkStatus::Direct);
    results.setColour(row, SiteColour::Blue);
    results.setIcon(row, 2);
}

void markAsNoneFound(ResultList& results, int row)
{
    if (row < 0 || row >= results.count())
        return;
    results.setCell(row, ResultList::Status, LinkStatus::NoneFound);
    results.setColour(row, SiteColour::Red);
    results.setIcon(row, 1);
}

MenuOutcome chooseResultMenuItem(ResultList& results, int row, ResultMenuItem item)
{
    if (row < 0 || row >= results.count())
        return {};
    using Kind = MenuOutcome::Kind;
    switch (item) {
    case ResultMenuItem::BrowseMainSite:
        return {Kind::Browse, CompleteUrl(results.cell(row, ResultList::Main))};
    case ResultMenuItem::BrowseLinkingSite:
        return {Kind::Browse, CompleteUrl(results.cell(row, ResultList::Remote))};
    case ResultMenuItem::BrowseFoundOn:
        return {Kind::Browse, CompleteUrl(results.cell(row, ResultList::Url))};
    case ResultMenuItem::CopyMainSite:
        return {Kind::Copy, results.cell(row, ResultList::Main)};
    case ResultMenuItem::CopyLinkingSite:
        return {Kind::Copy, results.cell(row, ResultList::Remote)};
    case ResultMenuItem::CopyFoundOn:
        return {Kind::Copy, results.cell(row, ResultList::Url)};
    case ResultMenuItem::MarkAsFound:
        markAsFound(results, row);
        return {Kind::Marked, {}};
    case ResultMenuItem::MarkAsNoneFound:
        markAsNoneFound(results, row);
        return {Kind::Marked, {}};
    case ResultMenuItem::Separator:
        break;
    }
    return {};
}

QString errorRowUrl(const ErrorList& errors, int row)
{
    if (row < 0 || row >= errors.count())
        return {};
    return CompleteUrl(errors.cell(row, ErrorList::Url));
}

} // namespace corvane::ResultListActions
