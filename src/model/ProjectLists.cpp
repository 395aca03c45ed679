#include "model/ProjectLists.h"

namespace corvane {

LinkingSiteList::LinkingSiteList(QObject* parent)
    : RecordTableModel({QStringLiteral("Website"), QStringLiteral("#"), QStringLiteral("HTML Link"),
                        QStringLiteral("HTML Name"), QStringLiteral("Description")},
                       parent)
{
}

LinkingSite LinkingSiteList::site(int row) const
{
    return {cell(row, Website), cell(row, Expected), cell(row, HtmlLink), cell(row, HtmlName),
            cell(row, Description)};
}

Record LinkingSiteList::toRecord(const LinkingSite& s)
{
    return {
        {s.url, s.expected, s.linkPageUrl, s.linkPageText, s.description}, SiteColour::Black, 0};
}

int LinkingSiteList::appendSite(const LinkingSite& s)
{
    return append(toRecord(s));
}

MainSiteList::MainSiteList(QObject* parent)
    : RecordTableModel({QStringLiteral("Main Sites")}, parent)
{
}

int MainSiteList::appendUrl(const QString& url)
{
    return append({{url}, SiteColour::Black, 0});
}

ResultList::ResultList(QObject* parent)
    : RecordTableModel({QStringLiteral("Main"), QStringLiteral("Remote"), QStringLiteral("Status"),
                        QStringLiteral("No."), QStringLiteral("URL"), QStringLiteral("Notes"),
                        QStringLiteral("Change")},
                       parent)
{
}

ResultEntry ResultList::entry(int row) const
{
    if (row < 0 || row >= count())
        return {};
    const Record& r = record(row);
    return {
        r.icon,         cell(row, Main), cell(row, Remote), cell(row, Status), cell(row, Number),
        cell(row, Url), r.colour,        cell(row, Notes), cell(row, Change)};
}

Record ResultList::toRecord(const ResultEntry& e)
{
    return {{e.main, e.remote, e.status, e.number, e.url, e.notes, e.change}, e.colour, e.icon};
}

int ResultList::appendEntry(const ResultEntry& e)
{
    return append(toRecord(e));
}

ErrorList::ErrorList(QObject* parent)
    : RecordTableModel({QStringLiteral("Error"), QStringLiteral("URL")}, parent)
{
}

int ErrorList::appendEntry(const ErrorEntry& e)
{
    return append({{e.error, e.url}, SiteColour::Black, 0});
}

RuleList::RuleList(QObject* parent)
    : RecordTableModel({QStringLiteral("MainSite"), QStringLiteral("RemoteSite"),
                        QStringLiteral("RuleType"), QStringLiteral("RuleValue")},
                       parent)
{
}

CrawlRule RuleList::rule(int row) const
{
    return {cell(row, MainSite), cell(row, RemoteSite), cell(row, RuleType), cell(row, RuleValue)};
}

int RuleList::appendRule(const CrawlRule& r)
{
    return append({{r.mainSite, r.remoteSite, r.ruleType, r.ruleValue}, SiteColour::Black, 0});
}

PostTargetList::PostTargetList(QObject* parent)
    : RecordTableModel({QStringLiteral("Main Site"), QStringLiteral("Script URL")}, parent)
{
}

int PostTargetList::appendTarget(const PostTarget& t)
{
    return append({{t.mainSite, t.scriptUrl}, SiteColour::Black, 0});
}

PageQueue::PageQueue(QObject* parent) : QAbstractTableModel(parent) {}

int PageQueue::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int PageQueue::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1; // "Page"
}

QVariant PageQueue::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_pages.at(index.row());
    return {};
}

QVariant PageQueue::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("Page");
    return QAbstractTableModel::headerData(section, orientation, role);
}

void PageQueue::enqueue(const QString& url)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_pages.append(url);
    endInsertRows();
}

void PageQueue::enqueueAll(const QStringList& urls)
{
    if (urls.isEmpty())
        return;
    const int row = count();
    beginInsertRows({}, row, row + int(urls.size()) - 1);
    // An empty queue takes the list as it is (shared, not copied text by text).
    if (m_pages.isEmpty())
        m_pages = urls;
    else
        m_pages.append(urls);
    endInsertRows();
}

QString PageQueue::takeFirst()
{
    if (isEmpty())
        return {};
    beginRemoveRows({}, 0, 0);
    QString first = m_pages.takeFirst();
    endRemoveRows();
    return first;
}

void PageQueue::clear()
{
    if (isEmpty())
        return;
    beginResetModel();
    m_pages.clear();
    endResetModel();
}

} // namespace corvane
