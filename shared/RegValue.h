#pragma once

#include "RegistryHive.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

// One registry value under a hive, read once when built and cached after.
// The full path joins the key path and the value name with a backslash
// ("Software\Ostrel\AppRuns"). Failures are never reported: a read that
// fails yields the default, a write that fails leaves the store unchanged.
// Objects are meant to be short-lived, built for one operation; they are not
// shared between threads.
template <class T>
class RegValue {
public:
    // With `force`, every Get reads the store and every Set writes it.
    RegValue(std::string_view fullPath, T defaultValue, bool force = false, RegistryHive& hive = LocalMachineHive());

    // The stored value, or the default when it cannot be read.
    T Read();
    // Stores the cached value, whether or not it changed.
    void Write();
    // The cached value; reads the store when nothing was read yet or with force.
    T Get();
    // Caches and writes `value` when it differs from the cached one (or with
    // force); otherwise writes nothing. The cache of a value that could not
    // be read holds 0 or the empty text, not the default, so setting an
    // absent value to 0 or "" writes nothing and it stays absent (it still
    // reads as the default). A caller that needs the value stored whatever
    // the store held calls Write after Set.
    void Set(const T& value);

    bool Valid() const { return valid_; }
    const std::string& KeyPath() const { return keyPath_; }
    const std::string& ValueName() const { return valueName_; }

private:
    RegistryHive& hive_;
    std::string valueName_;
    std::string keyPath_;
    T cached_{};
    T default_;
    bool valid_ = false;
    bool force_;
};

extern template class RegValue<std::uint32_t>;
extern template class RegValue<std::string>;

// A REG_DWORD value. A value stored with another type is taken as its raw
// little-endian bytes when it has at most four of them.
class RegValueDword : public RegValue<std::uint32_t> {
public:
    using RegValue::RegValue;
};

// A REG_SZ value, stored with its terminating zero; the text ends at the
// first zero byte whatever type it was stored with.
class RegValueString : public RegValue<std::string> {
public:
    using RegValue::RegValue;
};

}  // namespace ostrel
