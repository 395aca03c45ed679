#include "analysis/KnownPages.h"

#include "model/Project.h"
#include "web/TextSearch.h"

namespace corvane {

namespace {

QString withoutWww(QString url)
{
    url.remove(QStringLiteral("www."), Qt::CaseSensitive);
    return url;
}

// A bare host and the host with one "/" are the same page, its home page.
QString pageKey(QString lowerUrl)
{
    if (!lowerUrl.contains(u'/'))
        lowerUrl += u'/';
    return lowerUrl;
}

} // namespace

KnownPages::KnownPages(Project& project, QObject* parent) : QObject(parent), m_project(project) {}

QString KnownPages::cleanPageUrl(QString url)
{
    static const QString remnants[] = {
        QStringLiteral("http://www."), QStringLiteral("http://"), QStringLiteral("ttp://www"),
        QStringLiteral("ttp://ww"),    QStringLiteral("ttp://w"), QStringLiteral("ttp://"),
        QStringLiteral("tp://"),       QStringLiteral("p://"),    QStringLiteral("://"),
    };
    // Every remnant holds "://": a URL without it is only trimmed.
    if (url.contains(QStringLiteral("://"))) {
        for (const QString& remnant : remnants)
            url.remove(remnant, Qt::CaseInsensitive);
    }
    const QStringView trimmed = TextSearch::trimBlanks(url);
    if (trimmed.size() != url.size())
        url = trimmed.toString();
    return url;
}

bool KnownPages::contains(QString& url)
{
    QString key;
    return contains(url, key);
}

bool KnownPages::contains(QString& url, QString& key)
{
    url = cleanPageUrl(std::move(url));
    followList();
    key = pageKey(url.toLower());
    if (m_queued.contains(key))
        return true;
    // Without a "www." to remove, the site key is the page key.
    return m_sites.contains(url.contains(QStringLiteral("www.")) ? pageKey(withoutWww(url).toLower())
                                                                : key);
}

void KnownPages::addQueued(const QString& key)
{
    m_queued.insert(key);
}

void KnownPages::clearQueued()
{
    m_queued.clear();
    m_sitesDirty = true;
}

void KnownPages::followList()
{
    LinkingSiteList* list = m_project.linkingSites(m_project.state().iCurrentMain);
    if (list != m_list.data() || !list) {
        for (const QMetaObject::Connection& c : std::as_const(m_connections))
            disconnect(c);
        m_connections.clear();
        m_list = list;
        m_sitesDirty = true;
        if (list) {
            const auto dirty = [this] { m_sitesDirty = true; };
            m_connections = {
                connect(list, &QAbstractItemModel::dataChanged, this,
                        [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                            if (topLeft.column() <= LinkingSiteList::Website
                                && bottomRight.column() >= LinkingSiteList::Website)
                                m_sitesDirty = true;
                        }),
                connect(list, &QAbstractItemModel::rowsInserted, this, dirty),
                connect(list, &QAbstractItemModel::rowsRemoved, this, dirty),
                connect(list, &QAbstractItemModel::rowsMoved, this, dirty),
                connect(list, &QAbstractItemModel::modelReset, this, dirty),
                connect(list, &QAbstractItemModel::layoutChanged, this, dirty),
            };
        }
    }
    if (!m_sitesDirty)
        return;
    m_sites.clear();
    if (list) {
        for (int row = 0; row < list->count(); ++row)
            m_sites.insert(pageKey(withoutWww(list->url(row).trimmed()).toLower()));
    }
    m_sitesDirty = false;
}

} // namespace corvane
