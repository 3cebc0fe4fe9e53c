#pragma once

#include "Clock.h"
#include "ReportDocument.h"
#include "ReportSource.h"

#include <string>

class QWidget;

namespace ostrel {

// Makes the report a user asked for and shows it: the report document is
// written to DisplayReport.xml in the Logs folder, as always, and the
// viewer shows those very bytes, modally. A report that cannot be made
// shows its message instead.
void ShowReport(QWidget* parent, const std::string& appFolder, const ReportRequest& request,
                const Clock& clock = SystemClock());

// As above, with the jobs from `source`. A report of the central store has
// no document of the machine's own to write: the viewer shows its jobs,
// and saves or prints a document built from them when asked.
void ShowReport(QWidget* parent, const std::string& appFolder, ReportSource& source, const ReportRequest& request,
                const Clock& clock = SystemClock());

}  // namespace ostrel
