#pragma once

#include "Result.h"

#include <string>
#include <utility>

namespace ostrel {

// The outcome of a report step: a value, or the message to show the user
// instead (the console shows it in its message box, ostrel-report on
// stderr).
template <class T>
class ReportResult : public Result<T> {
public:
    using Result<T>::Result;
    static ReportResult Failure(std::string message) { return ReportResult(ostrel::Failure{std::move(message)}); }

    // The message of a failure; empty on success.
    const std::string& Error() const { return this->Why().what; }
};

}  // namespace ostrel
