#pragma once

#include "output/OutputFile.h"

namespace corvane {

class ResultList;

// "Save Tab Delimited": the results list as a tab-separated text file for spreadsheets and
// databases: the column titles, an empty line, one line per row in list order, and one more
// CR LF at the end. Fields are written as they stand (no quoting).
namespace TabExport {

inline const QString kSaveFilter = QStringLiteral("TAB Files (*.tab)|*.tab");

QString buildText(const ResultList& results);

// The question is asked when a file of exactly the chosen name exists; ".tab" is appended unless
// the name contains it in any letter case.
WriteOutcome save(const ResultList& results, const QString& chosenName,
                  const OverwriteQuestion& ask);

} // namespace TabExport

} // namespace corvane
