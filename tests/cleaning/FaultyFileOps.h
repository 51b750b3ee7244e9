#pragma once

#include "platform/FileOps.h"

#include <cerrno>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace sorvanel::test {

/// Thrown when the process "dies": nothing after it may touch the files.
struct Killed
{
};

/// Passes every operation to another `FileOps` and fails or kills the process at the step
/// numbered `failAt` or `killAt` (counted from 0 over all steps of all operations) the way the
/// system would: reading a file is an open and a read, writing a temporary file is a create,
/// a write (where a full disk shows), a flush when asked for and a close; following a link,
/// the writability check, a second name for the backup, each rename, moving to the trash and
/// each folder's sync are one step.
/// A failing operation throws `FileError` and, like the real one, leaves nothing behind. A
/// kill throws `Killed` once the step has had its effect (before it, for the first steps of a
/// write or read) and leaves the files as they are: every later call throws `Killed` again
/// and changes nothing.
class FaultyFileOps : public FileOps
{
public:
    explicit FaultyFileOps(FileOps& inner)
        : m_inner(inner)
    {
    }

    int failAt = -1;
    int killAt = -1;
    /// Every step of these kinds fails ("rename-replace", "remove" …).
    std::set<std::string> failKinds;
    int steps = 0;
    /// Every step taken, e.g. "open /a.mid", "write /a.mid", "flush /a.mid", and the calls
    /// that are no step ("remove /a.mid").
    std::vector<std::string> log;
    /// The steps alone: `stepsTaken[n]` is step n.
    std::vector<std::string> stepsTaken;
    /// When set, `kindOf` answers "missing" for these paths: a backup that appears after the
    /// test.
    std::function<bool(const std::string&)> hideFromKindOf;
    /// When set, called with each step's number before the step: another program at work.
    std::function<void(int)> beforeStep;

    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override
    {
        step("open", path, ENOENT, false);
        step("read", path, EIO);
        m_inner.readWhole(path, image);
        survive();
    }

    EntryKind kindOf(const std::string& path) noexcept override
    {
        if (hideFromKindOf && hideFromKindOf(path))
            return EntryKind::Missing;
        return m_inner.kindOf(path);
    }

    std::optional<FileFacts> examine(const std::string& path) noexcept override
    {
        return m_inner.examine(path);
    }

    std::string resolveLinks(const std::string& path) override
    {
        step("resolve", path, ELOOP);
        std::string target = m_inner.resolveLinks(path);
        survive();
        return target;
    }

    void checkWritable(const std::string& path) override
    {
        step("check-writable", path, EACCES);
        m_inner.checkWritable(path);
        survive();
    }

    std::string writeTemporary(const std::string& targetPath, const std::uint8_t* data,
        std::size_t size, bool sync) override
    {
        step("create", targetPath, EACCES, false);
        step("write", targetPath, ENOSPC, false);
        if (sync)
            step("flush", targetPath, EIO, false);
        step("close", targetPath, EIO);
        std::string path = m_inner.writeTemporary(targetPath, data, size, sync);
        survive();
        return path;
    }

    bool linkNoReplace(const std::string& from, const std::string& to) override
    {
        step("backup", from + " -> " + to, EIO);
        bool linked = m_inner.linkNoReplace(from, to);
        survive();
        return linked;
    }

    void renameNoReplace(const std::string& from, const std::string& to) override
    {
        step("rename-no-replace", from + " -> " + to, EXDEV);
        m_inner.renameNoReplace(from, to);
        survive();
    }

    void renameReplace(const std::string& from, const std::string& to) override
    {
        step("rename-replace", from + " -> " + to, EXDEV);
        m_inner.renameReplace(from, to);
        survive();
    }

    void removeQuietly(const std::string& path) noexcept override
    {
        log.push_back("remove " + path);
        if (!m_dead && failKinds.count("remove") == 0)
            m_inner.removeQuietly(path);
    }

    void moveToTrash(const std::string& path) override
    {
        step("trash", path, EXDEV);
        m_inner.moveToTrash(path);
        survive();
    }

    void syncFolder(const std::string& folder) override
    {
        step("sync", folder, EIO);
        m_inner.syncFolder(folder);
        survive();
    }

    std::vector<FolderItem> listFolder(const std::string& folder) override
    {
        step("list", folder, ENOENT);
        auto items = m_inner.listFolder(folder);
        survive();
        return items;
    }

private:
    /// One step of an operation; `last` when the operation takes effect after it.
    void step(const std::string& what, const std::string& path, int errorNumber, bool last = true)
    {
        if (m_dead)
            throw Killed();
        if (beforeStep)
            beforeStep(steps);
        log.push_back(what + " " + path);
        stepsTaken.push_back(log.back());
        int number = steps++;
        if (number == failAt || failKinds.count(what) != 0)
            throw FileError("Injected " + what + " failure on", path, errorNumber);
        if (number == killAt) {
            m_dead = true;
            if (!last)
                throw Killed();
            m_dieAfterThis = true;
        }
    }
    void survive()
    {
        if (m_dieAfterThis) {
            m_dieAfterThis = false;
            throw Killed();
        }
    }

    FileOps& m_inner;
    bool m_dead = false;
    bool m_dieAfterThis = false;
};

} // namespace sorvanel::test
