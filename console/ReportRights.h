#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace ostrel {

// Whether this user may read the reports: the logs are for the members of
// the administrators' group. An account outside it is told so once in a
// run, plainly, when it first opens the reports, instead of puzzling over
// empty lists; a report it asks for gets the same answer in place of "does
// not exists". GUI thread only.
class ReportRights {
public:
    // The answer when the reports cannot be read, or nothing when they can.
    using Probe = std::function<std::optional<QString>()>;

    // Without a probe, the registry store and the application folder with
    // its logs are checked.
    explicit ReportRights(std::string appFolder, Probe probe = {});

    // The first time in a run that reports cannot be read, tells the user.
    void TellOnce(QWidget* parent);

    // Before a report: false, after the answer, when it cannot be shown.
    bool BeforeReport(QWidget* parent);

private:
    Probe probe_;
    bool told_ = false;
};

}  // namespace ostrel
