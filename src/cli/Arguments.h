#pragma once

#include "platform/Notifier.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvanel {

/// The status of a command line the tool cannot take.
inline constexpr int wrongUsage = 2;

/// Tells the user what is wrong with the command line, GNU style: "sorvanel-cli: TEXT" and a
/// line pointing at the help.
void reportUsageError(Notifier& notifier, std::string_view text);

/// What the arguments of a command hold once its options are taken out.
struct ParsedArguments
{
    std::vector<std::pair<std::string, std::string>> assignments; ///< --option NAME=VALUE
    bool storedOptions = false;
    bool dryRun = false;
    bool recursive = false;
    bool trashChanged = false; ///< restore: a song changed since its clean goes to the trash
    std::vector<std::string> paths;
};

/// The options a command takes besides "--", which ends them.
enum class AcceptedOptions {
    None, ///< check, dump
    Recursive, ///< title: --recursive
    Restore, ///< --recursive, --trash-changed
    Clean, ///< --recursive, --dry-run, --stored-options, --option
};

/// Reads the options anywhere among the FILE|FOLDER arguments; every argument after "--" is
/// a path. Null after the usage error for an option the command does not take, an --option
/// without NAME=VALUE, or no path at all.
std::optional<ParsedArguments> parseArguments(
    const std::vector<std::string>& arguments, AcceptedOptions accepted, Notifier& notifier);

/// Passes messages on and counts them: a command that lists folders fails when one of their
/// files or sub-folders had to be left out.
class CountingNotifier : public Notifier
{
public:
    explicit CountingNotifier(Notifier& inner)
        : m_inner(inner)
    {
    }
    void notify(std::string_view text) override
    {
        ++count;
        m_inner.notify(text);
    }
    std::size_t count = 0;

private:
    Notifier& m_inner;
};

/// `text` with its control characters written as C escapes ("\n", "\t", "\x1b"), so that a
/// file name or title cannot break a line of the output in two or move the terminal's cursor.
std::string printable(std::string_view text);

} // namespace sorvanel
