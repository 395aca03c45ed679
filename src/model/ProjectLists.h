#pragma once

#include "model/RecordTableModel.h"

#include <QAbstractTableModel>

namespace corvane {

// The typed lists of the project. Each (the page queue excepted) is a RecordTableModel with its
// columns in the documented order; the structs are convenience views of one row.

struct LinkingSite {
    QString url;            // "Website", without "http://" or "https://"
    QString expected = "1"; // "#": links expected, a decimal number as text
    QString linkPageUrl;    // "HTML Link"
    QString linkPageText;   // "HTML Name"
    QString description;    // "Description"
};

class LinkingSiteList final : public RecordTableModel
{
    Q_OBJECT
public:
    enum Column { Website = 0, Expected, HtmlLink, HtmlName, Description };
    explicit LinkingSiteList(QObject* parent = nullptr);
    LinkingSite site(int row) const;
    QString url(int row) const { return cell(row, Website); }
    int appendSite(const LinkingSite& site);
    static Record toRecord(const LinkingSite& site);
};

class MainSiteList final : public RecordTableModel
{
    Q_OBJECT
public:
    explicit MainSiteList(QObject* parent = nullptr);
    QString url(int index) const { return cell(index, 0); } // 0-based list index
    int appendUrl(const QString& url);
};

// "Status" texts of result rows.
namespace LinkStatus {
inline const QString Direct = QStringLiteral("Direct Link");
inline const QString Domain = QStringLiteral("Domain Link");
inline const QString Redirect = QStringLiteral("Redirect Link");
inline const QString NoneFound = QStringLiteral("None Found");
inline const QString Missing = QStringLiteral("Missing ");
inline const QString Indirect = QStringLiteral("Indirect Link");
} // namespace LinkStatus

struct ResultEntry {
    int icon = 1;   // 2 for a found link, 1 for none
    QString main;   // "Main"
    QString remote; // "Remote"
    QString status; // "Status"
    QString number; // "No.", zero-padded to at least three digits
    QString url;    // "URL"
    SiteColour colour = SiteColour::Red;
    QString notes = {}; // "Notes": how the link is made, e.g. nofollow; text "Widgets"
    // "Change": what the partner's scan changed against the scans before ("lost",
    // "changed: now nofollow"); from the project's history, never stored in the project file.
    QString change = {};
};

class ResultList final : public RecordTableModel
{
    Q_OBJECT
public:
    enum Column { Main = 0, Remote, Status, Number, Url, Notes, Change };
    explicit ResultList(QObject* parent = nullptr);
    ResultEntry entry(int row) const;
    int appendEntry(const ResultEntry& entry);
    static Record toRecord(const ResultEntry& entry);
};

struct ErrorEntry {
    QString error;
    QString url;
};

class ErrorList final : public RecordTableModel
{
    Q_OBJECT
public:
    enum Column { Error = 0, Url };
    explicit ErrorList(QObject* parent = nullptr);
    ErrorEntry entry(int row) const { return {cell(row, Error), cell(row, Url)}; }
    int appendEntry(const ErrorEntry& entry);
};

struct CrawlRule {
    QString mainSite;   // "Global", or the Main Site URL
    QString remoteSite; // "Global", or the Linking Site URL
    QString ruleType;
    QString ruleValue;
};

class RuleList final : public RecordTableModel
{
    Q_OBJECT
public:
    enum Column { MainSite = 0, RemoteSite, RuleType, RuleValue };
    explicit RuleList(QObject* parent = nullptr);
    CrawlRule rule(int row) const;
    int appendRule(const CrawlRule& rule);
};

struct PostTarget {
    QString mainSite;
    QString scriptUrl;
};

class PostTargetList final : public RecordTableModel
{
    Q_OBJECT
public:
    enum Column { MainSite = 0, ScriptUrl };
    explicit PostTargetList(QObject* parent = nullptr);
    PostTarget target(int row) const { return {cell(row, MainSite), cell(row, ScriptUrl)}; }
    int appendTarget(const PostTarget& target);
};

// The pages still to fetch for the current Linking Site, first in first out. A links page can
// queue thousands of pages at once, so a row is its URL alone, without the cells, colour and icon
// of the project's other lists.
class PageQueue final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageQueue)
public:
    explicit PageQueue(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int count() const { return int(m_pages.size()); }
    bool isEmpty() const { return m_pages.isEmpty(); }
    void enqueue(const QString& url);
    void enqueueAll(const QStringList& urls);
    // Removes and returns the first page; empty when the queue is empty.
    QString takeFirst();
    // Empty for a missing row.
    QString page(int row) const { return row >= 0 && row < count() ? m_pages.at(row) : QString(); }
    void clear();

private:
    QStringList m_pages;
};

} // namespace corvane
