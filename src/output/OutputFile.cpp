#include "output/OutputFile.h"

#include "model/FileWrite.h"
#include "model/Windows1252.h"
#include "web/UrlTools.h"

#include <QFile>

namespace corvane::OutputFile {

QString errorMessage(int number, const QString& description)
{
    return QStringLiteral("Error: ") + QString::number(number) + QStringLiteral(" - ")
        + description;
}

namespace {

WriteOutcome failure(const QString& path, int number, const QString& description)
{
    return {WriteOutcome::Status::Failed, path, errorMessage(number, description)};
}

} // namespace

WriteOutcome writeBytes(const QString& path, const QByteArray& bytes)
{
    if (const std::optional<FileWriteError> error = FileWrite::replace(path, bytes))
        return failure(path, error->code, error->reason);
    return {WriteOutcome::Status::Written, path, {}};
}

WriteOutcome writeText(const QString& path, const QString& text)
{
    return writeBytes(path, Windows1252::encode(text) + QByteArrayLiteral("\r\n"));
}

bool isCancelledName(const QString& name)
{
    return name.isEmpty() || name == QStringLiteral(" ");
}

QString withExtension(const QString& name, const QString& extension)
{
    return name.contains(extension, Qt::CaseInsensitive) ? name : name + extension;
}

WriteOutcome saveUnderChosenName(const QString& chosenName, const QString& extension,
                                 const OverwriteQuestion& ask,
                                 const std::function<WriteOutcome(const QString& path)>& write)
{
    if (isCancelledName(chosenName))
        return {WriteOutcome::Status::Cancelled, {}, {}};
    bool replaceConfirmed = false;
    if (UrlTools::xfileExists(chosenName)) {
        if (!ask || !ask(kOverwriteQuestion))
            return {WriteOutcome::Status::Cancelled, {}, {}};
        replaceConfirmed = true;
    }
    const QString path = withExtension(chosenName, extension);
    WriteOutcome outcome = write(path);
    if (outcome.written() && replaceConfirmed && path != chosenName) {
        QFile confirmed(chosenName);
        if (!confirmed.remove())
            return failure(path, confirmed.error(), confirmed.errorString());
    }
    return outcome;
}

} // namespace corvane::OutputFile
