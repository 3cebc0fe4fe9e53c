#include "RegValue.h"

#include <optional>

namespace ostrel {
namespace {

std::optional<std::uint32_t> Decode(const RegData& data, std::uint32_t*)
{
    return DwordFromBytes(data.bytes);
}

std::optional<std::string> Decode(const RegData& data, std::string*)
{
    return data.bytes.substr(0, data.bytes.find('\0'));
}

RegData Encode(std::uint32_t value)
{
    return DwordData(value);
}

RegData Encode(const std::string& value)
{
    return {RegType::Sz, value + '\0'};
}

}  // namespace

template <class T>
RegValue<T>::RegValue(std::string_view fullPath, T defaultValue, bool force, RegistryHive& hive)
    : hive_(hive), default_(std::move(defaultValue)), force_(force)
{
    while (!fullPath.empty() && fullPath.front() == '\\')
        fullPath.remove_prefix(1);
    const size_t last = fullPath.rfind('\\');
    if (last == std::string_view::npos) {
        valueName_ = fullPath;
    } else {
        std::string_view key = fullPath.substr(0, last);
        while (!key.empty() && key.back() == '\\')
            key.remove_suffix(1);
        std::string_view name = fullPath.substr(last);
        while (!name.empty() && name.front() == '\\')
            name.remove_prefix(1);
        keyPath_ = key;
        valueName_ = name;
    }
    Read();  // primes the cache and the valid flag
}

template <class T>
T RegValue<T>::Read()
{
    const auto data = hive_.Query(keyPath_, valueName_);
    if (!data)
        return default_;
    auto value = Decode(*data, static_cast<T*>(nullptr));
    if (!value)
        return default_;
    cached_ = std::move(*value);
    valid_ = true;
    return cached_;
}

template <class T>
void RegValue<T>::Write()
{
    if (hive_.Set(keyPath_, valueName_, Encode(cached_)))
        valid_ = true;
}

template <class T>
T RegValue<T>::Get()
{
    if (!valid_ || force_)
        return Read();
    return cached_;
}

template <class T>
void RegValue<T>::Set(const T& value)
{
    if (value != cached_ || force_) {
        cached_ = value;
        Write();
    }
}

template class RegValue<std::uint32_t>;
template class RegValue<std::string>;

}  // namespace ostrel
