#pragma once

#include "history/HistoryStore.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvane {

// The changes of a project's history that the user is told of: those of its last scan, or of every
// scan since a date. One definition for the changes command's JSON, the alert command's input and
// the desktop notification.
struct ChangeSet {
    QString projectPath;
    QString historyPath;
    QList<HistoryStore::Scan> scans;
    QList<HistoryStore::PartnerRow> rows; // every change that is not "unchanged"
    QDateTime against;                    // the scan (or date) they are counted against
    QHash<qint64, PartnerRecord> records; // by partner

    static ChangeSet lastScan(const HistoryStore& store, const QString& projectPath);
    static ChangeSet since(const HistoryStore& store, const QString& projectPath,
                           const QDateTime& since);

    // {project, history, since, scans [...], changes [...]}
    QJsonObject toJson() const;

    int count(PartnerChange::Kind kind) const;
    // The partners of one kind, by host ("a.example"), in the order of the rows.
    QStringList hosts(PartnerChange::Kind kind) const;
    // The project's first scan: there is nothing to compare it with, so every partner linking back
    // is "new" to the history. It is the baseline the later scans are counted against, not news.
    bool isFirstScan() const { return !against.isValid(); }
    // Whether the user is told: a link lost, new, restored or changed since an earlier scan. A
    // partner that could not be reached this time tells nothing of its link, and a flaky one would
    // alert every night.
    bool isNews() const;
    // One sentence per kind that has partners, lost first, then new, restored and changed:
    // "2 partners dropped your link: a.example, b.example".
    QStringList sentences() const;
};

} // namespace corvane
