#pragma once

#include "files/local_log.h"
#include "ui/page_painter.h"

#include <QString>

#include <vector>

namespace kalder {

// The local operation log as its viewer lists and prints it: newest entry first; on screen the
// first column counts down from the number of entries to 1, in print it is the entry's slot.
QString localLogDescription(const LocalLogRecord& record);
// `table` holds the entries oldest first, as readLocalLog gives them.
std::vector<PrintRow> localLogScreenRows(const std::vector<LocalLogRecord>& table, int dateFormat);
std::vector<PrintRow> localLogPrintRows(const std::vector<LocalLogRecord>& table, int dateFormat);
PrintLayout localLogPrintLayout();

} // namespace kalder
