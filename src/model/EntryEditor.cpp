#include "model/EntryEditor.h"

#include "model/Project.h"

namespace corvane {

namespace {

const QString kGlobal = QStringLiteral("Global");

} // namespace

const QString EntryEditor::kEnterRule = QStringLiteral("Please enter a rule to add.");
const QString EntryEditor::kEnterRuleTitle = QStringLiteral("Error");
const QString EntryEditor::kSelectRuleType =
    QStringLiteral("Please select a rule type before adding a rule.");
const QString EntryEditor::kEntryGone =
    QStringLiteral("The entry you are editing was deleted or changed after this window was "
                   "opened, so nothing was saved. Close this window and open the editor again.");
const QString EntryEditor::kScanRunning =
    QStringLiteral("A site cannot be changed while a scan is running. Stop the scan, or press OK "
                   "again when it has finished.");

const QStringList& EntryEditor::ruleTypes()
{
    static const QStringList types = {
        QStringLiteral("LimitDirectory"), QStringLiteral("ExcludeDirectory"),
        QStringLiteral("LimitString"),    QStringLiteral("ExcludeString"),
        QStringLiteral("LimitRoot"),      QStringLiteral("ExcludeRoot"),
    };
    return types;
}

EntryEditor::EntryEditor(Project& project, Kind kind)
    : m_project(project),
      m_kind(kind),
      m_rules({QStringLiteral("Main Site"), QStringLiteral("Linking Site"),
               QStringLiteral("Rule Type"), QStringLiteral("Rule Value")})
{
    const ScanState& state = project.state();
    const int mainCount = project.mainSiteCount();
    const int current = state.iCurrentMain;
    switch (kind) {
    case Kind::LinkingSite: {
        const LinkingSiteList* list =
            current >= 1 && current <= mainCount ? project.linkingSites(current) : nullptr;
        m_bound = list != nullptr && state.iEditIndex >= 1 && state.iEditIndex <= list->count();
        if (!m_bound)
            return;
        m_mainPosition = current;
        m_entryIndex = state.iEditIndex;
        m_fields = list->site(m_entryIndex - 1);
        m_entryUrl = m_fields.url;
        break;
    }
    case Kind::MainSite:
        m_bound = state.iEditIndex >= 0 && state.iEditIndex < mainCount;
        if (!m_bound)
            return;
        m_entryIndex = state.iEditIndex;
        // The rules belong to the current Main Site, which the Edit button has just selected.
        m_mainPosition = current >= 1 && current <= mainCount ? current : m_entryIndex + 1;
        m_fields.url = project.mainSites().url(m_entryIndex);
        m_entryUrl = m_fields.url;
        break;
    case Kind::Global:
        m_bound = true;
        break;
    }
    if (m_mainPosition > 0)
        m_mainUrl = project.mainSiteUrl(m_mainPosition);

    const QString main = scopeMainSite();
    const QString remote = scopeRemoteSite();
    for (const Record& rule : project.rules().records()) {
        if (rule.cells.value(RuleList::MainSite) == main
            && rule.cells.value(RuleList::RemoteSite) == remote)
            m_rules.append(Record{rule.cells, SiteColour::Black, 0});
    }
}

QString EntryEditor::scopeMainSite() const
{
    return m_kind == Kind::Global ? kGlobal : m_mainUrl;
}

QString EntryEditor::scopeRemoteSite() const
{
    return m_kind == Kind::LinkingSite ? m_entryUrl : kGlobal;
}

EntryEditOutcome EntryEditor::addRule(int typeIndex, const QString& value,
                                      const QString& linkingSiteText)
{
    if (value.isEmpty() || value == QStringLiteral(" "))
        return {false, kEnterRule, kEnterRuleTitle};
    if (typeIndex < 0 || typeIndex >= ruleTypes().size())
        return {false, kSelectRuleType, {}};
    const QString remote = m_kind == Kind::LinkingSite ? linkingSiteText : kGlobal;
    m_rules.append(Record{{scopeMainSite(), remote, ruleTypes().at(typeIndex), value},
                          SiteColour::Black,
                          0});
    return {true, {}, {}};
}

void EntryEditor::deleteRule(int row)
{
    if (row >= 0 && row < m_rules.count())
        m_rules.removeAt(row);
}

bool EntryEditor::entryStillThere() const
{
    const Project& project = m_project;
    switch (m_kind) {
    case Kind::LinkingSite: {
        if (m_mainPosition > project.mainSiteCount()
            || project.mainSiteUrl(m_mainPosition) != m_mainUrl)
            return false;
        const LinkingSiteList* list = project.linkingSites(m_mainPosition);
        return list != nullptr && m_entryIndex <= list->count()
            && list->url(m_entryIndex - 1) == m_entryUrl;
    }
    case Kind::MainSite:
        return m_mainPosition <= project.mainSiteCount()
            && project.mainSiteUrl(m_mainPosition) == m_mainUrl
            && m_entryIndex < project.mainSiteCount()
            && project.mainSites().url(m_entryIndex) == m_entryUrl;
    case Kind::Global:
        return true;
    }
    return false;
}

EntryEditOutcome EntryEditor::save(const LinkingSite& fields)
{
    if (!m_bound || !entryStillThere())
        return {false, kEntryGone, {}};
    if (m_kind != Kind::Global && m_project.state().bScanRunning)
        return {false, kScanRunning, {}};

    const QString main = scopeMainSite();
    const QString remote = scopeRemoteSite();
    RuleList& rules = m_project.rules();
    rules.removeIf([&](const Record& rule) {
        return rule.cells.value(RuleList::MainSite) == main
            && rule.cells.value(RuleList::RemoteSite) == remote;
    });

    if (m_kind == Kind::LinkingSite) {
        LinkingSiteList* list = m_project.linkingSites(m_mainPosition);
        const int row = m_entryIndex - 1;
        list->setCell(row, LinkingSiteList::Website, fields.url);
        list->setCell(row, LinkingSiteList::Expected, fields.expected);
        list->setCell(row, LinkingSiteList::HtmlLink, fields.linkPageUrl);
        list->setCell(row, LinkingSiteList::HtmlName, fields.linkPageText);
        list->setCell(row, LinkingSiteList::Description, fields.description);
    } else if (m_kind == Kind::MainSite) {
        m_project.mainSites().setCell(m_entryIndex, 0, fields.url);
    }

    for (const Record& rule : m_rules.records())
        rules.append(Record{rule.cells, SiteColour::Black, 0});
    m_project.state().bProjectSaved = false;
    return {true, {}, {}};
}

} // namespace corvane
