#include "settings/SettingsStore.h"

#include <charconv>

namespace sorvanel {

std::optional<std::int32_t> parseStoredInt(std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

const MemorySettingsStore::Value* MemorySettingsStore::find(
    std::string_view section, std::string_view name) const
{
    auto found = values.find(Key(section, name));
    return found == values.end() ? nullptr : &found->second;
}

std::int32_t MemorySettingsStore::GetProfileInt(
    std::string_view section, std::string_view name, std::int32_t defaultValue)
{
    const Value* value = find(section, name);
    if (value == nullptr)
        return defaultValue;
    if (auto number = std::get_if<std::int32_t>(value))
        return *number;
    return parseStoredInt(std::get<std::string>(*value)).value_or(defaultValue);
}

std::string MemorySettingsStore::GetProfileString(
    std::string_view section, std::string_view name, std::string_view defaultValue)
{
    const Value* value = find(section, name);
    if (value == nullptr)
        return std::string(defaultValue);
    if (auto number = std::get_if<std::int32_t>(value))
        return std::to_string(*number);
    return std::get<std::string>(*value);
}

void MemorySettingsStore::WriteProfileInt(
    std::string_view section, std::string_view name, std::int32_t value)
{
    values.insert_or_assign(Key(section, name), Value(value));
    writesOutsideSession += sessionDepth == 0 ? 1 : 0;
    writes.push_back(std::string(section) + "/" + std::string(name));
}

void MemorySettingsStore::WriteProfileString(
    std::string_view section, std::string_view name, std::string_view text)
{
    values.insert_or_assign(Key(section, name), Value(std::string(text)));
    writesOutsideSession += sessionDepth == 0 ? 1 : 0;
    writes.push_back(std::string(section) + "/" + std::string(name));
}

} // namespace sorvanel
