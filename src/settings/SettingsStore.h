#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace sorvanel {

/// The only section the program keeps its values in.
inline constexpr std::string_view settingsSection = "Settings";

/// The per-user store of the program's persistent values: 32-bit integers and strings by
/// (section, name). A read returns the caller's default when the value is missing or cannot be
/// read; a failed write is lost silently. Nothing is ever deleted: an empty string is stored
/// like any other text.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    virtual std::int32_t GetProfileInt(
        std::string_view section, std::string_view name, std::int32_t defaultValue) = 0;
    virtual std::string GetProfileString(
        std::string_view section, std::string_view name, std::string_view defaultValue) = 0;
    virtual void WriteProfileInt(
        std::string_view section, std::string_view name, std::int32_t value) = 0;
    virtual void WriteProfileString(
        std::string_view section, std::string_view name, std::string_view text) = 0;

    /// A session gathers a run of writes (the options of one confirmation, the window's values
    /// at closing) so that a store kept in a file writes that file once, when the outermost
    /// session ends. Reads inside a session see its writes. Use `SettingsSession`.
    virtual void beginSession() { }
    virtual void commitSession() { }
};

/// Keeps a session of `store` open for its lifetime.
class SettingsSession
{
public:
    explicit SettingsSession(SettingsStore& store)
        : m_store(store)
    {
        m_store.beginSession();
    }
    ~SettingsSession() { m_store.commitSession(); }
    SettingsSession(const SettingsSession&) = delete;
    SettingsSession& operator=(const SettingsSession&) = delete;

private:
    SettingsStore& m_store;
};

/// A stored text read as an integer: an optional sign and decimal digits, nothing else, and
/// the number must fit in 32 bits; anything else is no number (the reader takes its default).
std::optional<std::int32_t> parseStoredInt(std::string_view text);

/// Keeps the values in memory, typed as written. Reads convert between the kinds the way a
/// text-based store does (an integer reads as its decimal text, a text as an integer when it
/// is one), so code tested against it behaves the same against the real store.
class MemorySettingsStore : public SettingsStore
{
public:
    using Value = std::variant<std::int32_t, std::string>;
    using Key = std::pair<std::string, std::string>;

    std::int32_t GetProfileInt(
        std::string_view section, std::string_view name, std::int32_t defaultValue) override;
    std::string GetProfileString(
        std::string_view section, std::string_view name, std::string_view defaultValue) override;
    void WriteProfileInt(
        std::string_view section, std::string_view name, std::int32_t value) override;
    void WriteProfileString(
        std::string_view section, std::string_view name, std::string_view text) override;
    void beginSession() override { ++sessionDepth; }
    void commitSession() override
    {
        if (--sessionDepth == 0)
            ++sessionsCommitted;
    }

    /// The stored value, for tests; null when absent.
    const Value* find(std::string_view section, std::string_view name) const;

    std::map<Key, Value, std::less<>> values;
    /// Names written, in order, section first ("Settings/Volume").
    std::vector<std::string> writes;
    /// Sessions open now, outermost sessions ended, and writes made outside any session.
    int sessionDepth = 0;
    int sessionsCommitted = 0;
    int writesOutsideSession = 0;
};

} // namespace sorvanel
