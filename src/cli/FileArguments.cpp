#include "cli/FileArguments.h"

#include "cleaning/FileList.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"

namespace sorvanel {

namespace {

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

} // namespace

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

} // namespace sorvanel
