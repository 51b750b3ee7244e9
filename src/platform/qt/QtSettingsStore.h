#pragma once

#include "settings/SettingsStore.h"

#include <string>

namespace sorvanel {

/// The settings store over `QSettings` (the per-user configuration file on Linux, the
/// registry on Windows): organization "Tarnwick", one group per section. Every operation opens
/// the store afresh, so values written are visible to every later read at once, also from
/// another `QtSettingsStore`. The header names no Qt type, so core front ends may use it.
class QtSettingsStore : public SettingsStore
{
public:
    /// The store of the application `applicationName`.
    explicit QtSettingsStore(std::string applicationName);

    /// The store of the running program: named after the executable's base name without
    /// extension (needs a `QCoreApplication`).
    static std::string applicationNameOfExecutable();

    std::int32_t GetProfileInt(
        std::string_view section, std::string_view name, std::int32_t defaultValue) override;
    std::string GetProfileString(
        std::string_view section, std::string_view name, std::string_view defaultValue) override;
    void WriteProfileInt(
        std::string_view section, std::string_view name, std::int32_t value) override;
    void WriteProfileString(
        std::string_view section, std::string_view name, std::string_view text) override;

    static constexpr const char* organization = "Tarnwick";

private:
    std::string m_applicationName;
};

} // namespace sorvanel
