#pragma once

#include "platform/FileOps.h"

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace sorvanel::test {

/// Passes every operation to another `FileOps` and fails the step numbered `failAt` (counted
/// from 0 over all steps of all operations) the way the system would: reading a file is an
/// open and a read, writing a temporary file is a create, a write (where a full disk shows),
/// a flush when asked for and a close; each rename is one step. The failing operation throws
/// `FileError` and, like the real one, leaves nothing behind.
class FaultyFileOps : public FileOps
{
public:
    explicit FaultyFileOps(FileOps& inner)
        : m_inner(inner)
    {
    }

    int failAt = -1;
    int steps = 0;
    /// Every step taken, e.g. "open /a.mid", "write /a.mid", "flush /a.mid".
    std::vector<std::string> log;
    /// When set, `exists` answers false for these paths: a backup that appears after the test.
    std::function<bool(const std::string&)> hideFromExists;

    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override
    {
        step("open", path, ENOENT);
        step("read", path, EIO);
        m_inner.readWhole(path, image);
    }

    bool exists(const std::string& path) override
    {
        if (hideFromExists && hideFromExists(path))
            return false;
        return m_inner.exists(path);
    }

    bool isRegularFile(const std::string& path) override { return m_inner.isRegularFile(path); }

    std::string writeTemporary(const std::string& targetPath, const std::uint8_t* data,
        std::size_t size, bool sync) override
    {
        step("create", targetPath, EACCES);
        step("write", targetPath, ENOSPC);
        if (sync)
            step("flush", targetPath, EIO);
        step("close", targetPath, EIO);
        return m_inner.writeTemporary(targetPath, data, size, sync);
    }

    void renameNoReplace(const std::string& from, const std::string& to) override
    {
        step("rename-no-replace", from + " -> " + to, EXDEV);
        m_inner.renameNoReplace(from, to);
    }

    void renameReplace(const std::string& from, const std::string& to) override
    {
        step("rename-replace", from + " -> " + to, EXDEV);
        m_inner.renameReplace(from, to);
    }

    void removeQuietly(const std::string& path) noexcept override
    {
        log.push_back("remove " + path);
        m_inner.removeQuietly(path);
    }

    void syncAll() noexcept override
    {
        log.push_back("sync-all");
        m_inner.syncAll();
    }

    std::vector<FolderItem> listFolder(const std::string& folder) override
    {
        step("list", folder, ENOENT);
        return m_inner.listFolder(folder);
    }

private:
    void step(const std::string& what, const std::string& path, int errorNumber)
    {
        log.push_back(what + " " + path);
        if (steps++ == failAt)
            throw FileError("Injected " + what + " failure on", path, errorNumber);
    }

    FileOps& m_inner;
};

} // namespace sorvanel::test
