#include "model/ProjectEditor.h"

#include "model/Project.h"
#include "model/ProjectFile.h"

#include <limits>

namespace corvane {

const QString ProjectEditor::kEnterWebsiteFirst
    = QStringLiteral("Please enter the Website URL first.");
const QString ProjectEditor::kEnterRemoteFirst
    = QStringLiteral("Error: Please enter a Remote Site first!");
const QString ProjectEditor::kSelectSiteToDelete
    = QStringLiteral("You must select a site to delete.");
const QString ProjectEditor::kCannotDeleteCurrent
    = QStringLiteral("You cannot delete the current site while the search is running.");
const QString ProjectEditor::kCaptionPrefix = QStringLiteral("Enter linking sites: ");

namespace {

// Positions and rows handed to the editors live in 16-bit state fields.
bool fitsInt16(int v)
{
    return v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max();
}

} // namespace

ProjectEditor::ProjectEditor(Project& project, ProjectFile& files, QObject* parent)
    : QObject(parent), m_project(project), m_files(files)
{
    connect(&m_files, &ProjectFile::mainSiteSelected, this, &ProjectEditor::selectMainSite);
}

EditOutcome ProjectEditor::addLinkingSite(const QString& entryText)
{
    EditOutcome outcome;
    QString text = entryText;
    text.remove(QStringLiteral("http://"), Qt::CaseInsensitive);
    text.remove(QStringLiteral("https://"), Qt::CaseInsensitive);
    outcome.entryText = text;
    // Blanks alone would make a Linking Site without a URL.
    const QString url = text.trimmed();
    if (url.isEmpty()) {
        outcome.message = kEnterWebsiteFirst;
        return outcome;
    }
    const int k = m_project.state().iCurrentMain;
    LinkingSiteList* list = k >= 1 ? m_project.linkingSites(k) : nullptr;
    if (list == nullptr)
        return outcome;
    LinkingSite site;
    site.url = url;
    list->appendSite(site);
    m_project.state().bProjectSaved = false;
    outcome.changed = true;
    outcome.entryText.clear();
    return outcome;
}

EditOutcome ProjectEditor::addMainSite(const QString& entryText)
{
    EditOutcome outcome;
    outcome.entryText = entryText;
    if (entryText.trimmed().isEmpty()) {
        outcome.statusText = kEnterRemoteFirst;
        return outcome;
    }
    if (m_project.mainSiteCount() >= std::numeric_limits<qint16>::max())
        return outcome;
    m_project.mainSites().appendUrl(entryText);
    const int n = m_project.mainSiteCount();
    while (m_project.linkingSiteListCount() <= n)
        m_project.addList();
    selectMainSite(n);
    m_project.state().bProjectSaved = false;
    outcome.changed = true;
    outcome.entryText.clear();
    return outcome;
}

EditOutcome ProjectEditor::deleteMainSite(int index)
{
    EditOutcome outcome;
    if (index < 0 || index >= m_project.mainSiteCount())
        return outcome;
    // Rules name their Main Site by its URL text, so a duplicate Main Site loses its rules too.
    const QString url = m_project.mainSites().url(index);
    m_project.rules().removeIf(
        [&url](const Record& r) { return r.cells.value(RuleList::MainSite) == url; });
    m_project.state().bProjectSaved = false;
    outcome.changed = true;

    if (m_project.mainSiteCount() == 1) {
        m_project.mainSites().clear();
        m_project.removeList(1);
        Q_EMIT linkingSitePanelHidden();
        return outcome;
    }
    const FileOutcome saved = m_files.QuickSave(index);
    if (!saved) {
        outcome.message = saved.error;
        return outcome;
    }
    m_files.QuickLoad();
    return outcome;
}

EditOutcome ProjectEditor::deleteLinkingSite(int row)
{
    EditOutcome outcome;
    if (row < 1) {
        outcome.message = kSelectSiteToDelete;
        return outcome;
    }
    const int k = m_project.state().iCurrentMain;
    LinkingSiteList* list = k >= 1 ? m_project.linkingSites(k) : nullptr;
    if (list == nullptr || row > list->count())
        return outcome;
    if (row > 1) {
        list->removeAt(row - 1);
        m_project.state().bProjectSaved = false;
        outcome.changed = true;
        return outcome;
    }
    if (m_project.state().bScanRunning) {
        outcome.message = kCannotDeleteCurrent;
        return outcome;
    }
    const QString url = list->url(0);
    m_project.rules().removeIf(
        [&url](const Record& r) { return r.cells.value(RuleList::RemoteSite) == url; });
    list->removeAt(0);
    m_project.state().bProjectSaved = false;
    outcome.changed = true;
    return outcome;
}

bool ProjectEditor::editLinkingSite(int row)
{
    const int k = m_project.state().iCurrentMain;
    const LinkingSiteList* list = k >= 1 ? m_project.linkingSites(k) : nullptr;
    if (!fitsInt16(row))
        return false;
    m_project.state().iEditIndex = qint16(row);
    return row >= 1 && list != nullptr && row <= list->count();
}

bool ProjectEditor::editMainSite(int index)
{
    if (!fitsInt16(index))
        return false;
    m_project.state().iEditIndex = qint16(index);
    return index >= 0 && index < m_project.mainSiteCount();
}

QString ProjectEditor::selectMainSite(int k)
{
    if (k < 1 || k > m_project.mainSiteCount() || !fitsInt16(k))
        return {};
    m_project.state().iCurrentMain = qint16(k);
    const QString text = caption(m_project.mainSiteUrl(k));
    Q_EMIT mainSiteSelected(k, text);
    return text;
}

int ProjectEditor::addList()
{
    return m_project.addList();
}

void ProjectEditor::mainSiteEntryChanged()
{
    ScanState& state = m_project.state();
    if (state.bSkipDomainChange)
        state.bSkipDomainChange = false;
    else
        state.bProjectSaved = false;
}

} // namespace corvane
