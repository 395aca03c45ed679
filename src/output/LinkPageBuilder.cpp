#include "output/LinkPageBuilder.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "output/WebLink.h"
#include "web/TextSearch.h"
#include "web/UrlTools.h"

#include <QHash>
#include <QSet>

namespace corvane {

namespace {

// What the Linking Site entries of one list say about a website: each field from the first entry
// of that exact "Website" text where the field is not empty.
struct EntryData {
    QString address;
    QString text;
    QString description;
};

QHash<QString, EntryData> indexEntries(const LinkingSiteList& list)
{
    QHash<QString, EntryData> index;
    for (int row = 0; row < list.count(); ++row) {
        EntryData& e = index[list.url(row)];
        if (e.address.isEmpty())
            e.address = list.cell(row, LinkingSiteList::HtmlLink);
        if (e.text.isEmpty())
            e.text = list.cell(row, LinkingSiteList::HtmlName);
        if (e.description.isEmpty())
            e.description = list.cell(row, LinkingSiteList::Description);
    }
    return index;
}

} // namespace

LinkPageBuilder::LinkPageBuilder(Project& project, SettingsStore& settings)
    : m_project(project), m_settings(settings)
{
}

QString LinkPageBuilder::buildLinks(const Project& project, const Options& options)
{
    const ResultList& results = project.results();
    const QString dq = QStringLiteral("\"");

    // Main Site positions by trimmed display text, the first of equal texts winning.
    QHash<QString, int> mainByText;
    for (int k = project.mainSiteCount(); k >= 1; --k)
        mainByText.insert(TextSearch::trimBlanks(project.mainSiteUrl(k)).toString(), k);
    QHash<int, QHash<QString, EntryData>> entriesByList;

    QString output;
    QSet<QString> used;
    for (int row = 0; row < results.count(); ++row) {
        const QString main = results.cell(row, ResultList::Main);
        const QString remote = results.cell(row, ResultList::Remote);
        const QString status = results.cell(row, ResultList::Status);
        if (options.optAll == 1 && main != options.selectedMainSite)
            continue;
        // A row whose Main Site is not found takes its link data from the first Main Site.
        const int k = mainByText.value(TextSearch::trimBlanks(main).toString(), 1);
        if (used.contains(remote))
            continue;
        if (!status.contains(QStringLiteral("direct"), Qt::CaseInsensitive))
            continue;
        used.insert(remote);

        EntryData data;
        if (const LinkingSiteList* list = project.linkingSites(k)) {
            auto cached = entriesByList.find(k);
            if (cached == entriesByList.end())
                cached = entriesByList.insert(k, indexEntries(*list));
            data = cached->value(remote);
        }
        const QString bare = UrlTools::BareHost(remote);
        const QString text = data.text.isEmpty() ? bare : data.text;
        // A scheme-less address gets "http://"; one of another scheme ("javascript:", from an
        // import or a project file) is no address to publish: the link leads to the partner.
        QString address = WebLink::target(data.address.isEmpty() ? bare : data.address);
        if (address.isEmpty())
            address = QStringLiteral("http://") + bare;
        // A quote would end the attribute and let the rest of the value add attributes.
        address.replace(dq, QStringLiteral("&quot;"));

        QString link = QStringLiteral("<a href=") + dq + address + dq;
        if (options.newWindow)
            link += QStringLiteral(" target=") + dq + QStringLiteral("_blank") + dq;
        link += QStringLiteral(">") + text + QStringLiteral("</a>");
        if (!data.description.isEmpty() && data.description != QStringLiteral(" "))
            link += QStringLiteral("<BR>") + data.description;
        if (options.bullets)
            link = QStringLiteral("<li>") + link + QStringLiteral("</li>");
        output += link + QStringLiteral("<br><br>\r\n");
    }
    return output;
}

LinkPageBuilder::Generation LinkPageBuilder::generateLinks(const QString& selectedMainSite)
{
    if (m_project.results().isEmpty())
        return {true, kNoResultsMessage, {}};
    Options options;
    options.optAll = m_settings.readInt(QStringLiteral("optAll"));
    options.selectedMainSite = selectedMainSite;
    options.newWindow = m_settings.isOn(QStringLiteral("chkNewWin"));
    options.bullets = m_settings.isOn(QStringLiteral("chkBullet"));
    Generation g;
    g.links = buildLinks(m_project, options);
    setPart(2, g.links);
    return g;
}

QString LinkPageBuilder::pageText() const
{
    const QString crlf2 = QStringLiteral("\r\n\r\n");
    QString text
        = m_project.pageText(1) + crlf2 + m_project.pageText(2) + crlf2 + m_project.pageText(3);
    // Text boxes hand over bare line feeds; the page is written with CR LF line ends.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

WriteOutcome LinkPageBuilder::saveWebpage(const QString& chosenName) const
{
    if (chosenName.isEmpty())
        return {WriteOutcome::Status::Cancelled, {}, {}};
    return OutputFile::writeText(chosenName, pageText());
}

void LinkPageBuilder::setPart(int part, const QString& text)
{
    if (part < 1 || part > 3)
        return;
    m_project.setPageText(part, text);
    m_settings.WriteSetting(QStringLiteral("txtHTML") + QString::number(part), text);
}

void LinkPageBuilder::setOptAll(int option)
{
    m_settings.WriteSetting(QStringLiteral("optAll"), QString::number(option));
}

void LinkPageBuilder::setNewWindow(bool checked)
{
    m_settings.WriteSetting(QStringLiteral("chkNewWin"),
                            checked ? QStringLiteral("1") : QStringLiteral("0"));
}

void LinkPageBuilder::setBullets(bool checked)
{
    m_settings.WriteSetting(QStringLiteral("chkBullet"),
                            checked ? QStringLiteral("1") : QStringLiteral("0"));
}

void LinkPageBuilder::loadPartsFromSettings()
{
    for (int part = 1; part <= 3; ++part)
        m_project.setPageText(
            part, m_settings.ReadSetting(QStringLiteral("txtHTML") + QString::number(part)));
}

} // namespace corvane
