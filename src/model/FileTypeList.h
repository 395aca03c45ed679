#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

// What a change of the file-type list ended with, for the window to show.
struct FileTypeChange {
    bool saved = false; // the list changed and the file holds it
    QString message;    // a message box (OK button, application title); empty for none
};

// The web page file types the scan follows, one per line in "filetypes.txt" in the application
// folder (Windows-1252, CR LF). The options window edits the list; every change is written to the
// file at once. A change whose file cannot be written is not made: the list and the file keep
// what they held.
class FileTypeList
{
public:
    static const QString kEnterExtension; // "Please enter a file extension first."

    explicit FileTypeList(QString path);

    // Reads the file: its lines in order, without those that are empty or a single space. A
    // missing or unreadable file gives an empty list.
    void load();
    const QStringList& entries() const { return m_entries; }
    const QString& path() const { return m_path; }

    // An extension as typed, made an entry: "." in front when it has none, every ".." made ".".
    static QString entryFor(const QString& typed);

    // "Add": appends entryFor(typed), equal entries allowed, and saves. Empty text is refused
    // with kEnterExtension.
    FileTypeChange add(const QString& typed);
    // "Delete": removes the entry at the 0-based row and saves; a missing row does nothing.
    FileTypeChange remove(int row);

private:
    FileTypeChange save(const QStringList& entries);

    QString m_path;
    QStringList m_entries;
};

} // namespace corvane
