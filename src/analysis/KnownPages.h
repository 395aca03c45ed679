#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

namespace corvane {

class LinkingSiteList;
class Project;

// The pages already known for the current Linking Site: the current Main Site's Linking Sites
// (their URLs without a lower-case "www.", letter case ignored) and the pages queued for this
// Linking Site (letter case ignored). A bare host and the host with one "/" are the same page. Look-ups are hash look-ups, so a site of any size costs the
// same per link. The Linking Site keys follow the list as it changes during the scan.
class KnownPages final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KnownPages)

public:
    explicit KnownPages(Project& project, QObject* parent = nullptr);

    // Cleans url in place (see cleanPageUrl) and tells whether it is known.
    bool contains(QString& url);
    // The same; key receives the page's key, what addQueued takes when the page is queued.
    bool contains(QString& url, QString& key);
    void addQueued(const QString& key);
    // A new Linking Site or a new scan: no page of it is queued yet.
    void clearQueued();
    // What a URL is compared in: scheme remnants removed, blanks trimmed.
    static QString cleanPageUrl(QString url);

private:
    void followList();

    Project& m_project;
    QSet<QString> m_queued;
    QSet<QString> m_sites;
    QPointer<LinkingSiteList> m_list;
    QList<QMetaObject::Connection> m_connections;
    bool m_sitesDirty = true;
};

} // namespace corvane
