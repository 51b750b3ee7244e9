#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "cleaning/Restore.h"
#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"

#ifdef SORVANEL_HAVE_QTSETTINGS
#include "platform/qt/QtSettingsStore.h"
#endif

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
    bool recursive = false;
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
        } else if (argument == "--recursive") {
            parsed.recursive = true;
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

/// Passes messages on and counts them.
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

/// Why a file named on the command line is not `done` ("cleaned", "restored"), or nothing: it
/// must be a song file the file list would show. A missing or unexaminable one is left to the
/// run, which says why.
std::optional<std::string> refusal(const std::string& path, EntryKind kind, const char* done)
{
    if (!isListableName(nameOf(path)))
        return "\"" + path + "\" is not " + done + ": only *.mid files that are not hidden are";
    if (kind == EntryKind::BrokenLink || kind == EntryKind::Other)
        return "\"" + path + "\" is not " + done + ": it is not a regular file";
    return std::nullopt;
}

/// The files that FILE|FOLDER arguments stand for, shared by the commands that change files.
struct FileArguments
{
    std::vector<MidiFileEntry> entries;
    /// How many broken files of the folders were left out (after their messages).
    std::size_t leftOut = 0;
};

/// Resolves FILE|FOLDER arguments: every named file is checked before any is touched, and one
/// the file list would not show is refused (status 2); a folder gives its song files as the
/// file list shows them, its broken files left out after their messages; a folder that cannot
/// be listed stops everything (status 1). With `unchecked` a folder's files are not read here:
/// the run leaves out the broken ones as it meets them, so each file is parsed once. Null with
/// `status` set when the command must end.
std::optional<FileArguments> resolveFileArguments(const std::vector<std::string>& paths,
    bool recursive, bool unchecked, const CommandContext& context, const char* done, int& status)
{
    // Every file named is checked before any is touched.
    std::vector<EntryKind> kinds;
    bool refused = false;
    for (const std::string& path : paths) {
        kinds.push_back(context.files.kindOf(path));
        if (kinds.back() == EntryKind::Folder)
            continue;
        if (auto reason = refusal(path, kinds.back(), done)) {
            context.notifier.notify(*reason);
            refused = true;
        }
    }
    if (refused) {
        status = wrongUsage;
        return std::nullopt;
    }

    // A folder's broken files are left out after their message, as in the file list.
    CountingNotifier listing(context.notifier);
    FileArguments resolved;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (kinds[i] == EntryKind::Folder) {
            try {
                auto listed = recursive
                    ? listMidiFilesWithSubfolders(path, context.files, listing, {}, unchecked)
                    : unchecked ? listUncheckedMidiFiles(path, context.files)
                                : listMidiFiles(path, context.files, listing);
                for (MidiFileEntry& entry : listed)
                    resolved.entries.push_back(std::move(entry));
            } catch (const FileError& failure) {
                context.notifier.notify(failure.what());
                status = 1;
                return std::nullopt;
            }
        } else {
            resolved.entries.push_back({path, nameOf(path), {}});
        }
    }
    resolved.leftOut = listing.count;
    return resolved;
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

    int status = 0;
    auto resolved = resolveFileArguments(
        arguments->paths, arguments->recursive, true, context, "cleaned", status);
    if (!resolved)
        return status;
    CleanRunResult result = cleanFiles(resolved->entries, everyRow(resolved->entries), *options,
        context.files, context.notifier, UiLanguage(), arguments->dryRun, context.progress);
    for (const std::string& line : result.logLines)
        context.out << line << '\n';
    return result.stoppedEarly || result.syncFailed || result.leftOut > 0 || resolved->leftOut > 0
        ? 1
        : 0;
}

int runRestore(const CommandContext& context)
{
    auto arguments = parseArguments(context.arguments, context.notifier, false);
    if (!arguments)
        return wrongUsage;
    int status = 0;
    auto resolved = resolveFileArguments(
        arguments->paths, arguments->recursive, false, context, "restored", status);
    if (!resolved)
        return status;
    RestoreRunResult result = restoreFiles(resolved->entries, everyRow(resolved->entries),
        context.files, context.notifier, UiLanguage(), context.progress);
    for (const std::string& line : result.logLines)
        context.out << line << '\n';
    return result.stoppedEarly || resolved->leftOut > 0 ? 1 : 0;
}

} // namespace sorvanel
