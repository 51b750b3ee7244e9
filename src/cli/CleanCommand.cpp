#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "cleaning/Restore.h"
#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"

#ifdef SORVANEL_HAVE_QTSETTINGS
#include "platform/qt/QtSettingsStore.h"
#endif

#include <filesystem>
#include <optional>
#include <ostream>

namespace sorvanel {

namespace {

constexpr int wrongUsage = 2;

/// The program whose stored options `--stored-options` reads.
constexpr const char* programName = "Sorvanel";

struct CleanArguments
{
    std::vector<std::pair<std::string, std::string>> assignments; // NAME, VALUE
    bool storedOptions = false;
    bool dryRun = false;
    std::vector<std::string> paths;
};

/// Reads FILE|FOLDER arguments and, for `clean`, its options; null after the message when
/// they do not fit.
std::optional<CleanArguments> parseArguments(
    const std::vector<std::string>& arguments, Notifier& notifier, bool cleanOptions = true)
{
    CleanArguments parsed;
    bool onlyPaths = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyPaths || argument.empty() || argument[0] != '-') {
            parsed.paths.push_back(argument);
        } else if (argument == "--") {
            onlyPaths = true;
        } else if (cleanOptions && argument == "--stored-options") {
            parsed.storedOptions = true;
        } else if (cleanOptions && argument == "--dry-run") {
            parsed.dryRun = true;
        } else if (cleanOptions && argument == "--option" && i + 1 < arguments.size()) {
            const std::string& assignment = arguments[++i];
            auto equals = assignment.find('=');
            if (equals == std::string::npos) {
                notifier.notify("--option needs NAME=VALUE, not \"" + assignment + "\"");
                return std::nullopt;
            }
            parsed.assignments.emplace_back(
                assignment.substr(0, equals), assignment.substr(equals + 1));
        } else {
            notifier.notify("Unknown or incomplete option \"" + argument + "\"");
            return std::nullopt;
        }
    }
    if (parsed.paths.empty()) {
        notifier.notify("No file or folder given");
        return std::nullopt;
    }
    return parsed;
}

bool applyAssignment(
    CleanOptions& options, const std::string& name, const std::string& value, Notifier& notifier)
{
    for (StoredOption& stored : storedOptions(options)) {
        if (stored.name != name)
            continue;
        if (stored.flag) {
            if (value != "0" && value != "1") {
                notifier.notify(name + " takes 0 or 1, not \"" + value + "\"");
                return false;
            }
            *stored.flag = value == "1" ? 1 : 0;
        } else {
            stored.slot->HexText = value;
        }
        return true;
    }
    notifier.notify("Unknown option name \"" + name + "\"");
    return false;
}

std::optional<CleanOptions> startingOptions(bool stored, [[maybe_unused]] Notifier& notifier)
{
    if (!stored)
        return CleanOptions();
#ifdef SORVANEL_HAVE_QTSETTINGS
    QtSettingsStore store(programName);
    return CleanOptions::load(store);
#else
    (void)programName;
    notifier.notify("--stored-options is not available: this build has no settings store");
    return std::nullopt;
#endif
}

std::string nameOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The files FILE|FOLDER arguments stand for: a named file as it is, a folder's song files
/// as the file list shows them. Null after the message when a folder cannot be listed.
std::optional<std::vector<MidiFileEntry>> resolveFileArguments(
    const std::vector<std::string>& paths, FileOps& files, Notifier& notifier)
{
    std::vector<MidiFileEntry> entries;
    for (const std::string& path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            try {
                for (MidiFileEntry& entry : listMidiFiles(path, files, notifier))
                    entries.push_back(std::move(entry));
            } catch (const FileError& failure) {
                notifier.notify(failure.what());
                return std::nullopt;
            }
        } else {
            entries.push_back({path, nameOf(path), {}});
        }
    }
    return entries;
}

std::vector<std::size_t> everyRow(const std::vector<MidiFileEntry>& entries)
{
    std::vector<std::size_t> rows(entries.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}

} // namespace

int runClean(const CommandContext& context)
{
    auto arguments = parseArguments(context.arguments, context.notifier);
    if (!arguments)
        return wrongUsage;
    auto options = startingOptions(arguments->storedOptions, context.notifier);
    if (!options)
        return wrongUsage;
    for (const auto& [name, value] : arguments->assignments)
        if (!applyAssignment(*options, name, value, context.notifier))
            return wrongUsage;
    // The same checks as confirming the options dialog, with its messages.
    auto failures = checkConfirmation(*options);
    for (const ConfirmationFailure& failure : failures)
        context.notifier.notify(failure.message.pick());
    if (!failures.empty())
        return wrongUsage;
    options->recomputeSlotValues();

    auto entries = resolveFileArguments(arguments->paths, context.files, context.notifier);
    if (!entries)
        return 1;
    CleanRunResult result = cleanFiles(*entries, everyRow(*entries), *options, context.files,
        context.notifier, UiLanguage(), arguments->dryRun, context.progress);
    for (const std::string& line : result.logLines)
        context.out << line << '\n';
    return result.stoppedEarly ? 1 : 0;
}

int runRestore(const CommandContext& context)
{
    auto arguments = parseArguments(context.arguments, context.notifier, false);
    if (!arguments)
        return wrongUsage;
    auto entries = resolveFileArguments(arguments->paths, context.files, context.notifier);
    if (!entries)
        return 1;
    RestoreRunResult result = restoreFiles(*entries, everyRow(*entries), context.files,
        context.notifier, UiLanguage(), context.progress);
    for (const std::string& line : result.logLines)
        context.out << line << '\n';
    return result.stoppedEarly ? 1 : 0;
}

} // namespace sorvanel
