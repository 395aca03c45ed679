#include "output/TabExport.h"

#include "model/ProjectLists.h"

namespace corvane::TabExport {

QString buildText(const ResultList& results)
{
    const QString tab = QStringLiteral("\t");
    const QString crlf = QStringLiteral("\r\n");
    QString text = results.headers().join(tab) + crlf + crlf;
    for (int row = 0; row < results.count(); ++row) {
        text += results.cell(row, ResultList::Main) + tab + results.cell(row, ResultList::Remote)
            + tab + results.cell(row, ResultList::Status) + tab
            + results.cell(row, ResultList::Number) + tab + results.cell(row, ResultList::Url) + tab
            + results.cell(row, ResultList::Notes) + tab + results.cell(row, ResultList::Change)
            + crlf;
    }
    return text;
}

WriteOutcome save(const ResultList& results, const QString& chosenName,
                  const OverwriteQuestion& ask)
{
    return OutputFile::saveUnderChosenName(
        chosenName, QStringLiteral(".tab"), ask, [&results](const QString& path) {
            return OutputFile::writeText(path, buildText(results));
        });
}

} // namespace corvane::TabExport
