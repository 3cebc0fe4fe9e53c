#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// What every fuzz target shares: the input as text, its first lines as
// parameters, and a check that stops the run with the broken promise.
namespace ostrel::fuzz {

inline std::string_view Text(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// The text up to the first line feed; `text` moves past it. All of it
// when there is none.
inline std::string_view TakeLine(std::string_view& text)
{
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return line;
}

// A failed check is a finding: libFuzzer saves the input that caused it.
[[noreturn]] inline void Fail(const char* promise, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, promise);
    std::abort();
}

}  // namespace ostrel::fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::ostrel::fuzz::Fail(#condition, __FILE__, __LINE__))
