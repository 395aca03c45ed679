#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace corvane {

// What a save command leaves for the window to show.
struct WriteOutcome {
    enum class Status { Written, Cancelled, Failed };
    Status status = Status::Cancelled;
    QString path;    // the file written, under its final name
    QString message; // when Failed: "Error: " number " - " description, for a message box
    bool written() const { return status == Status::Written; }
    bool failed() const { return status == Status::Failed; }
};

// Asked before a file of the chosen name is replaced; returns true for OK, false for Cancel.
using OverwriteQuestion = std::function<bool(const QString& question)>;

// The file writing shared by the report, the tab export and the link page.
namespace OutputFile {

inline const QString kOverwriteQuestion
    = QStringLiteral("File already exists.  Are you sure you want to overwrite it?");

// "Error: " number " - " description.
QString errorMessage(int number, const QString& description);

// Writes the text followed by one CR LF, in Windows-1252, replacing the file as a whole: a failed
// write leaves any previous file of that name as it was. The error numbers are those of
// QFileDevice::FileError.
WriteOutcome writeText(const QString& path, const QString& text);
// The same for bytes written as they are.
WriteOutcome writeBytes(const QString& path, const QByteArray& bytes);

// True for the names a cancelled file dialog returns: empty or a single space.
bool isCancelledName(const QString& name);

// The name with the extension (".htm", ".tab") appended unless it already contains it anywhere,
// in any letter case.
QString withExtension(const QString& name, const QString& extension);

// The save commands of the Reports tab: the dialog's name, the question when a file of exactly
// that name exists (the test is made before the extension is added), the extension rule, then
// the write under the final name. A file the user agreed to replace that is not the final name
// (the name lacked the extension) is deleted once the final file has been written.
WriteOutcome saveUnderChosenName(const QString& chosenName, const QString& extension,
                                 const OverwriteQuestion& ask,
                                 const std::function<WriteOutcome(const QString& path)>& write);

} // namespace OutputFile

} // namespace corvane
