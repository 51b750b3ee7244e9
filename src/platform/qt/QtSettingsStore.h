#pragma once

#include "settings/SettingsStore.h"

#include <memory>
#include <string>

namespace sorvanel {

/// The settings store over `QSettings` (the per-user configuration file on Linux, the
/// registry on Windows): organization "Tarnwick", one group per section. Outside a session
/// every operation opens the store afresh, so values written are visible to every later read
/// at once, also from another `QtSettingsStore`; the writes of a session reach the file
/// together when it ends. Texts that are not UTF-8 are kept as their bytes. The header names
/// no Qt type, so core front ends may use it.
class QtSettingsStore : public SettingsStore
{
public:
    /// The store of the application `applicationName`.
    explicit QtSettingsStore(std::string applicationName);
    ~QtSettingsStore() override;
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

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
    void beginSession() override;
    void commitSession() override;

    static constexpr const char* organization = "Tarnwick";

private:
    struct Session;
    template <class Access> auto access(Access&& operation);

    std::string m_applicationName;
    std::unique_ptr<Session> m_session;
    int m_sessionDepth = 0;
};

} // namespace sorvanel
