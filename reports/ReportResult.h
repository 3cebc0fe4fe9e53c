#pragma once

#include <string>
#include <utility>
#include <variant>

namespace ostrel {

// The outcome of a report step: a value, or the message to show the user
// instead (the console shows it in its message box, ostrel-report on
// stderr).
template <class T>
class ReportResult {
public:
    ReportResult(T value) : state_(std::move(value)) {}
    static ReportResult Failure(std::string message) { return ReportResult(Message{std::move(message)}); }

    bool Ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return Ok(); }
    T& operator*() { return std::get<T>(state_); }
    const T& operator*() const { return std::get<T>(state_); }
    T* operator->() { return &std::get<T>(state_); }
    const T* operator->() const { return &std::get<T>(state_); }

    // The message of a failure; empty on success.
    const std::string& Error() const
    {
        static const std::string none;
        return Ok() ? none : std::get<Message>(state_).text;
    }

private:
    struct Message {
        std::string text;
    };
    explicit ReportResult(Message message) : state_(std::move(message)) {}
    std::variant<T, Message> state_;
};

}  // namespace ostrel
