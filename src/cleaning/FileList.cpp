#include "cleaning/FileList.h"

#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "song/SongTitle.h"

#include <algorithm>
#include <functional>
#include <set>
#include <utility>

namespace sorvanel {

namespace {

unsigned char folded(char c)
{
    auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

} // namespace

int CompareEntryNames(std::string_view a, std::string_view b)
{
    std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        int difference = folded(a[i]) - folded(b[i]);
        if (difference != 0)
            return difference;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

void sortEntries(std::vector<MidiFileEntry>& entries)
{
    // Kept exactly as this procedure: equal names (which differ in case only) keep the order
    // it gives them, and users see that order.
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(entries.size());
    for (std::ptrdiff_t gap = n / 2; gap > 0; gap /= 2) {
        for (std::ptrdiff_t i = gap; i < n; ++i) {
            for (std::ptrdiff_t j = i - gap; j >= 0
                 && CompareEntryNames(entries[static_cast<std::size_t>(j)].fileName,
                        entries[static_cast<std::size_t>(j + gap)].fileName)
                     > 0;
                 j -= gap)
                std::swap(entries[static_cast<std::size_t>(j)],
                    entries[static_cast<std::size_t>(j + gap)]);
        }
    }
}

bool isListableName(std::string_view name)
{
    constexpr std::string_view extension = ".mid";
    if (name.size() < extension.size() || name.front() == '.')
        return false;
    std::string_view end = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (folded(end[i]) != static_cast<unsigned char>(extension[i]))
            return false;
    return true;
}

bool mayBeSong(std::string_view name)
{
    const std::size_t suffix = backupSuffix.size();
    return !name.empty() && name.front() != '.'
        && (name.size() < suffix
            || CompareEntryNames(name.substr(name.size() - suffix), backupSuffix) != 0);
}

std::string backupPathOf(const std::string& path)
{
    return path + std::string(backupSuffix);
}

bool isBackupName(std::string_view name)
{
    const std::size_t suffix = backupSuffix.size();
    return name.size() > suffix && isListableName(name.substr(0, name.size() - suffix))
        && CompareEntryNames(name.substr(name.size() - suffix), backupSuffix) == 0;
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || isPathSeparator(folder.back()))
        return folder + name;
#ifdef _WIN32
    if (folder.size() == 2 && folder[1] == ':')
        return folder + name; // "C:a.mid" is in the current folder of that drive
#endif
    return folder + pathSeparator + name;
}

namespace {

/// The listable song files of `folder`, in the folder's order, not read.
std::vector<MidiFileEntry> songFilesOf(const std::string& folder, FileOps& files)
{
    std::vector<MidiFileEntry> entries;
    for (FolderItem& item : files.listFolder(folder)) {
        // Only regular files are songs: a pipe named "*.mid" would make the read wait forever.
        if (item.isHidden || !item.isFile || !isListableName(item.name))
            continue;
        // A link is a song only where the file it leads to is named as one (not a backup).
        if (item.isLink) {
            try {
                if (!isListableName(nameOf(files.resolveLinks(joinPath(folder, item.name)))))
                    continue;
            } catch (const FileError&) {
                continue;
            }
        }
        MidiFileEntry& entry = entries.emplace_back();
        entry.fullPath = joinPath(folder, item.name);
        entry.fileName = std::move(item.name);
    }
    return entries;
}

} // namespace

std::vector<MidiFileEntry> listMidiFiles(
    const std::string& folder, FileOps& files, Notifier& notifier, const RunProgress& progress)
{
    std::vector<MidiFileEntry> candidates = songFilesOf(folder, files);
    // Read in name order, so that a scan stopped halfway lists the first files by name.
    std::vector<std::size_t> readingOrder(candidates.size());
    for (std::size_t i = 0; i < readingOrder.size(); ++i)
        readingOrder[i] = i;
    std::stable_sort(readingOrder.begin(), readingOrder.end(), [&](std::size_t a, std::size_t b) {
        return CompareEntryNames(candidates[a].fileName, candidates[b].fileName) < 0;
    });
    SongTitleReader titles;
    std::vector<bool> listed(candidates.size(), false);
    for (std::size_t i = 0; i < readingOrder.size(); ++i) {
        MidiFileEntry& entry = candidates[readingOrder[i]];
        if (!goesOn(progress, i, readingOrder.size(), entry.fileName))
            break;
        listed[readingOrder[i]] = titles.read(entry, files, notifier);
    }
    // Sorted from the folder's own order, as always, so that names differing only in case
    // keep the order users know.
    std::vector<MidiFileEntry> entries;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (listed[i])
            entries.push_back(std::move(candidates[i]));
    sortEntries(entries);
    return entries;
}

std::vector<MidiFileEntry> listUncheckedMidiFiles(const std::string& folder, FileOps& files)
{
    std::vector<MidiFileEntry> entries = songFilesOf(folder, files);
    for (MidiFileEntry& entry : entries)
        entry.unchecked = true;
    sortEntries(entries);
    return entries;
}

namespace {

using FolderLister = std::function<std::vector<MidiFileEntry>(const std::string&)>;

/// Appends the song files `list` gives for `folder` and its sub-folders, named by `prefix`
/// (the folder's path relative to where the walk began, ending in "/", or empty) followed by
/// their own.
void appendWithSubfolders(const std::string& folder, const std::string& prefix, FileOps& files,
    Notifier& notifier, const FolderLister& list, std::vector<MidiFileEntry>& entries)
{
    for (MidiFileEntry& entry : list(folder)) {
        entry.fileName.insert(0, prefix);
        entries.push_back(std::move(entry));
    }
    std::vector<std::string> subfolders;
    for (FolderItem& item : files.listFolder(folder))
        if (item.isDirectory && !item.isHidden && !item.isLink)
            subfolders.push_back(std::move(item.name));
    std::stable_sort(subfolders.begin(), subfolders.end(),
        [](const std::string& a, const std::string& b) { return CompareEntryNames(a, b) < 0; });
    for (const std::string& name : subfolders) {
        try {
            appendWithSubfolders(
                joinPath(folder, name), prefix + name + "/", files, notifier, list, entries);
        } catch (const FileError& failure) {
            notifier.notify(failure.what());
        }
    }
}

} // namespace

std::vector<MidiFileEntry> listMidiFilesWithSubfolders(const std::string& folder, FileOps& files,
    Notifier& notifier, const RunProgress& progress, bool unchecked)
{
    std::vector<MidiFileEntry> entries;
    appendWithSubfolders(
        folder, "", files, notifier,
        [&](const std::string& each) {
            return unchecked ? listUncheckedMidiFiles(each, files)
                             : listMidiFiles(each, files, notifier, progress);
        },
        entries);
    return entries;
}

namespace {

/// The songs of `folder` not read, and the songs whose name is gone but whose backup is there.
std::vector<MidiFileEntry> restorableFilesOf(const std::string& folder, FileOps& files)
{
    std::vector<MidiFileEntry> entries = songFilesOf(folder, files);
    std::vector<FolderItem> items = files.listFolder(folder);
    std::set<std::string> names;
    for (const FolderItem& item : items)
        names.insert(item.name);
    for (const FolderItem& item : items) {
        if (item.isHidden || !item.isFile || !isBackupName(item.name))
            continue;
        std::string song = item.name.substr(0, item.name.size() - 4);
        if (names.contains(song))
            continue;
        MidiFileEntry& entry = entries.emplace_back();
        entry.fullPath = joinPath(folder, song);
        entry.fileName = std::move(song);
    }
    for (MidiFileEntry& entry : entries)
        entry.unchecked = true;
    sortEntries(entries);
    return entries;
}

} // namespace

std::vector<MidiFileEntry> listRestorableFiles(
    const std::string& folder, FileOps& files, Notifier& notifier, bool includeSubfolders)
{
    if (!includeSubfolders)
        return restorableFilesOf(folder, files);
    std::vector<MidiFileEntry> entries;
    appendWithSubfolders(
        folder, "", files, notifier,
        [&](const std::string& each) { return restorableFilesOf(each, files); }, entries);
    return entries;
}

std::vector<MidiFileEntry> scanFolder(const std::string& folder, FileOps& files, Notifier& notifier,
    bool includeSubfolders, const RunProgress& progress)
{
    if (folder.empty())
        return {};
    try {
        return includeSubfolders ? listMidiFilesWithSubfolders(folder, files, notifier, progress)
                                 : listMidiFiles(folder, files, notifier, progress);
    } catch (const FileError&) {
        return {};
    }
}

} // namespace sorvanel
