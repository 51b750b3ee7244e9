#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "cleaning/Restore.h"
#include "cli/Arguments.h"
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

/// The program whose stored options `--stored-options` reads.
constexpr const char* programName = "Sorvanel";

bool applyAssignment(
    CleanOptions& options, const std::string& name, const std::string& value, Notifier& notifier)
{
    for (StoredOption& stored : storedOptions(options)) {
        if (stored.name != name)
            continue;
        if (stored.flag) {
            if (value != "0" && value != "1") {
                reportUsageError(notifier, name + " takes 0 or 1, not '" + value + "'");
                return false;
            }
            *stored.flag = value == "1" ? 1 : 0;
        } else {
            stored.slot->HexText = value;
        }
        return true;
    }
    reportUsageError(
        notifier, "unknown option name '" + name + "' ('sorvanel-cli options' lists them)");
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
    reportUsageError(
        notifier, "--stored-options is not available: this build has no settings store");
    return std::nullopt;
#endif
}

/// Whether a file named on the command line may be cleaned or restored by its name: a song
/// file under one of the names songs go by, not hidden (which also keeps out the run's own
/// temporary files); a backup ("a.mid.bak") never is. A folder gives only its *.mid files.
bool isSongFileName(std::string_view name)
{
    if (name.empty() || name.front() == '.')
        return false;
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string extension;
    for (char c : name.substr(dot + 1))
        extension += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const char* known : {"mid", "midi", "kar", "rmi", "smf"})
        if (extension == known)
            return true;
    return false;
}

/// Why a file named on the command line is not `done` ("cleaned", "restored"), or nothing. A
/// missing or unexaminable one is left to the run, which says why.
std::optional<std::string> refusal(const std::string& path, EntryKind kind, const char* done)
{
    std::string named = "\"" + printable(path) + "\" is not " + done + ": ";
    if (!isSongFileName(nameOf(path)))
        return named
            + "only song files (*.mid, *.midi, *.kar, *.rmi, *.smf) that are not hidden are";
    if (kind == EntryKind::BrokenLink || kind == EntryKind::Other)
        return named + "it is not a regular file";
    return std::nullopt;
}

/// The files that FILE|FOLDER arguments stand for, shared by the commands that change files.
struct FileArguments
{
    std::vector<MidiFileEntry> entries;
    /// How many sub-folders could not be listed (after their messages).
    std::size_t leftOut = 0;
};

/// Resolves FILE|FOLDER arguments: every named file is checked before any is touched, and one
/// that is not a song file by its name is refused (status 2). A folder gives its *.mid files in
/// the file list's order, for `restoring` also the names of gone songs whose backups are there;
/// a sub-folder that cannot be listed is left out after its message, a folder given that cannot
/// be listed stops everything (status 1). No song is read here: a clean run leaves out the
/// broken ones as it meets them, so each file is parsed once, and restoring reads none. With
/// several arguments each file is named by its path, else by its name in the folder given.
/// Null with `status` set when the command must end.
std::optional<FileArguments> resolveFileArguments(const std::vector<std::string>& paths,
    bool recursive, bool restoring, const CommandContext& context, int& status)
{
    // Every file named is checked before any is touched.
    std::vector<EntryKind> kinds;
    bool refused = false;
    for (const std::string& path : paths) {
        kinds.push_back(context.files.kindOf(path));
        if (kinds.back() == EntryKind::Folder)
            continue;
        if (auto reason = refusal(path, kinds.back(), restoring ? "restored" : "cleaned")) {
            context.notifier.notify(*reason);
            refused = true;
        }
    }
    if (refused) {
        status = wrongUsage;
        return std::nullopt;
    }

    CountingNotifier listing(context.notifier);
    FileArguments resolved;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (kinds[i] == EntryKind::Folder) {
            try {
                auto listed = restoring
                    ? listRestorableFiles(path, context.files, listing, recursive)
                    : recursive
                    ? listMidiFilesWithSubfolders(path, context.files, listing, {}, true)
                    : listUncheckedMidiFiles(path, context.files);
                for (MidiFileEntry& entry : listed) {
                    // With several arguments a name alone may stand for several files.
                    if (paths.size() > 1)
                        entry.fileName = joinPath(path, entry.fileName);
                    entry.fileName = printable(entry.fileName);
                    resolved.entries.push_back(std::move(entry));
                }
            } catch (const FileError& failure) {
                context.notifier.notify(failure.what());
                status = 1;
                return std::nullopt;
            }
        } else {
            resolved.entries.push_back(
                {path, printable(paths.size() > 1 ? path : nameOf(path)), {}});
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
    auto arguments = parseArguments(context.arguments, AcceptedOptions::Clean, context.notifier);
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
    auto resolved =
        resolveFileArguments(arguments->paths, arguments->recursive, false, context, status);
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
    auto arguments = parseArguments(context.arguments, AcceptedOptions::Restore, context.notifier);
    if (!arguments)
        return wrongUsage;
    // Restoring renames backups and reads no song, so a broken one is no reason to fail; a
    // song changed since its clean is, unless its current bytes may go to the trash.
    int status = 0;
    auto resolved =
        resolveFileArguments(arguments->paths, arguments->recursive, true, context, status);
    if (!resolved)
        return status;
    RestoreRunResult result = restoreFiles(resolved->entries, everyRow(resolved->entries),
        context.files, context.notifier, UiLanguage(), context.progress,
        arguments->trashChanged ? ChangedFiles::ToTrash : ChangedFiles::Keep);
    for (const std::string& line : result.logLines)
        context.out << line << '\n';
    return result.stoppedEarly || result.syncFailed || !result.changedRows.empty()
            || resolved->leftOut > 0
        ? 1
        : 0;
}

} // namespace sorvanel
