#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace ostrel {

// Why a call of ours failed: what failed, in words fit for a message, and
// the number the failing call left behind, taken right after it (errno for
// a file call, the spooler's error code for a spooler call); 0 when there
// is none.
struct Failure {
    std::string what;
    int code = 0;

    bool operator==(const Failure&) const = default;
};

// The outcome of a fallible call of ours: a value, or the failure. The one
// result type of the platform layer, the spooler interface and the reports;
// SpoolerResult and ReportResult name its error as their callers know it.
// Result<void> carries no value.
template <class T>
class Result {
public:
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    Result() requires std::is_void_v<T> : state_(std::monostate{}) {}
    Result(Value value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}

    bool Ok() const { return std::holds_alternative<Value>(state_); }
    explicit operator bool() const { return Ok(); }
    Value& operator*() { return std::get<Value>(state_); }
    const Value& operator*() const { return std::get<Value>(state_); }
    Value* operator->() { return &std::get<Value>(state_); }
    const Value* operator->() const { return &std::get<Value>(state_); }

    // The failure; an empty one on success.
    const Failure& Why() const
    {
        static const Failure none;
        return Ok() ? none : std::get<Failure>(state_);
    }

private:
    std::variant<Value, Failure> state_;
};

}  // namespace ostrel
