#pragma once

#include <string>

namespace ostrel {

class ReportRights;
class SaveRights;
class SpoolerQueries;

// What every page of the main window works with; owned by the main window,
// which outlives its pages.
struct PageContext {
    std::string appFolder;
    SpoolerQueries& spooler;
    SaveRights& rights;
    ReportRights& reportRights;
};

}  // namespace ostrel
