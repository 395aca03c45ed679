#pragma once

#include "model/ProjectLists.h"
#include "model/RecordTableModel.h"

#include <QString>
#include <QStringList>

namespace corvane {

class Project;

// What an editor's button ended with, for the window to show.
struct EntryEditOutcome {
    bool done = false; // the rule was added, or the entry and its rules were saved
    QString message;   // a message box (OK button) to show; empty for none
    QString title;     // the message box's title; empty for the application's name
};

// One entry of the project with the crawl rules of its scope, as the site and rule editors edit
// it: a Linking Site (its rules are those of its Main Site and its URL), a Main Site (the rules of
// that Main Site for all its Linking Sites) or the global rules.
//
// The editor binds itself to the entry when it is made: it keeps the Main Site's position and
// URL, and the Linking Site's row and URL, that iCurrentMain and iEditIndex named at that moment,
// and works on a private copy of the scope's rules. Nothing in the project changes until save();
// an editor that is dropped discards its copy. Saving refuses, and changes nothing, when the
// entry is no longer where and what it was (deleted, moved or renamed meanwhile) or, for a site,
// while a scan runs (the scan reads the sites' URLs as it goes). The global rules can be saved
// during a scan: the rules are read afresh for every link.
class EntryEditor
{
public:
    enum class Kind { LinkingSite, MainSite, Global };

    static const QString kEnterRule;       // "Please enter a rule to add."
    static const QString kEnterRuleTitle;  // "Error"
    static const QString kSelectRuleType;  // "Please select a rule type before adding a rule."
    static const QString kEntryGone;       // the entry was deleted or changed meanwhile
    static const QString kScanRunning;     // a site cannot be saved while a scan runs

    // The RuleType words of the six rule-type choices, in their order (0 to 5).
    static const QStringList& ruleTypes();

    EntryEditor(Project& project, Kind kind);

    Kind kind() const { return m_kind; }
    // False when the opener named no such entry (the editor then has nothing to edit).
    bool isBound() const { return m_bound; }

    // The entry's fields as they were when the editor was made. For a Main Site only url is used.
    const LinkingSite& fields() const { return m_fields; }

    // The private rule copy, columns "Main Site", "Linking Site", "Rule Type", "Rule Value".
    RecordTableModel& rules() { return m_rules; }
    const RecordTableModel& rules() const { return m_rules; }

    // "Add Rule": typeIndex is the chosen rule type (0 to 5, -1 for none), value the text as
    // typed (kept as it is, blanks included; a single space counts as empty), linkingSiteText
    // what the Linking Site's URL field holds now (used by the Linking Site editor only).
    EntryEditOutcome addRule(int typeIndex, const QString& value, const QString& linkingSiteText);
    // "Delete Rule": row is 0-based; -1 or a missing row does nothing.
    void deleteRule(int row);

    // "OK": writes the fields (a Main Site takes fields.url; the global rules take none) into the
    // bound entry unchanged, replaces the scope's rules in the project's rule list by the copy,
    // appended at its end in the copy's order, and marks the project unsaved.
    EntryEditOutcome save(const LinkingSite& fields);

    // The current Main Site (1-based) whose URL names the rules' scope, and the entry edited: the
    // Linking Site row (1-based) of that Main Site's list, or the Main Site list index (0-based).
    // 0 for what the global rules editor has none of.
    int mainSitePosition() const { return m_mainPosition; }
    int entryIndex() const { return m_entryIndex; }

private:
    bool entryStillThere() const;
    QString scopeMainSite() const;
    QString scopeRemoteSite() const;

    Project& m_project;
    Kind m_kind;
    bool m_bound = false;
    int m_mainPosition = 0;
    QString m_mainUrl;  // the current Main Site's URL when the editor was made
    int m_entryIndex = 0;
    QString m_entryUrl; // the edited entry's URL when the editor was made
    LinkingSite m_fields;
    RecordTableModel m_rules;
};

} // namespace corvane
