#include "platform/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cwctype>
#include <limits>
#include <random>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace sorvanel {

namespace {

/// The errno value that means what the system's `code` means, so that callers and tests
/// tell failures apart the same way on every platform.
int errnoOf(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return ENOSYS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

/// The system's text for `code`, without the closing full stop and line break.
std::string systemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (std::iswspace(text.back()) != 0 || text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        return "error " + std::to_string(code);
    return toUtf8(text);
}

FileError systemError(const std::string& operation, const std::string& path, DWORD code)
{
    return FileError(operation, path, errnoOf(code), systemMessage(code));
}

[[noreturn]] void fail(const std::string& operation, const std::string& path)
{
    throw systemError(operation, path, ::GetLastError());
}

/// `path` for the wide calls. An absolute path too long for the classic limit gets the
/// long-path prefix, which takes only backslashes.
std::wstring systemPath(const std::string& path)
{
    std::wstring wide = toWide(path);
    if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\"))
        return wide;
    const bool drive = wide.size() >= 3 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/');
    const bool share = wide.starts_with(L"\\\\") || wide.starts_with(L"//");
    if (!drive && !share)
        return wide;
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return drive ? L"\\\\?\\" + wide : L"\\\\?\\UNC\\" + wide.substr(2);
}

/// Closes a handle when it goes out of scope.
class HandleGuard
{
public:
    explicit HandleGuard(HANDLE handle)
        : m_handle(handle)
    {
    }
    ~HandleGuard()
    {
        if (valid())
            ::CloseHandle(m_handle);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    /// Closes it now; false when closing failed.
    bool close()
    {
        HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

/// Opens what `path` leads to (links followed) for its attributes only; folders too.
HANDLE openForAttributes(const std::wstring& path)
{
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool meansMissing(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
        || code == ERROR_INVALID_NAME || code == ERROR_DIRECTORY
        || code == ERROR_FILENAME_EXCED_RANGE || code == ERROR_BAD_NETPATH
        || code == ERROR_INVALID_DRIVE;
}

/// `name` in `folder`.
std::string inFolder(const std::string& folder, const std::string& name)
{
    if (folder.empty() || isPathSeparator(folder.back())
        || (folder.size() == 2 && folder[1] == ':'))
        return folder + name;
    return folder + pathSeparator + name;
}

/// `name` in the folder of `path`.
std::string beside(const std::string& path, const std::string& name)
{
    return inFolder(folderOf(path), name);
}

/// A temporary file's name, picked at random.
std::string randomTemporaryName()
{
    thread_local std::mt19937_64 generator{
        (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}()};
    return temporaryName(generator());
}

/// A FILETIME-style count as nanoseconds.
std::int64_t nanoseconds(std::int64_t hundreds)
{
    return hundreds * 100;
}

/// Writes all of `data` to `file`; false (with the system's code set) on failure.
bool writeAll(HANDLE file, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD put = 0;
        if (::WriteFile(file, data, chunk, &put, nullptr) == 0)
            return false;
        data += put;
        size -= put;
    }
    return true;
}

/// CreateHardLinkW failures that mean "this volume (or this file) takes no second name".
bool noHardLinks(DWORD code)
{
    return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION
        || code == ERROR_TOO_MANY_LINKS || code == ERROR_NOT_SAME_DEVICE
        || code == ERROR_INVALID_PARAMETER;
}

} // namespace

std::wstring toWide(const std::string& text)
{
    if (text.empty())
        return {};
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw FileError("Cannot use the name", text, ENAMETOOLONG);
    const int length = static_cast<int>(text.size());
    int wideLength =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (wideLength <= 0)
        throw FileError("Cannot use the name", text, EINVAL, systemMessage(::GetLastError()));
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(
        CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), wideLength);
    return wide;
}

std::string toUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length =
        static_cast<int>(std::min<std::size_t>(text.size(), std::numeric_limits<int>::max()));
    int narrowLength =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(narrowLength, 0)), '\0');
    ::WideCharToMultiByte(
        CP_UTF8, 0, text.data(), length, narrow.data(), narrowLength, nullptr, nullptr);
    return narrow;
}

void NativeFileOps::readWhole(const std::string& path, std::vector<std::uint8_t>& image)
{
    const std::wstring wide = systemPath(path);
    HandleGuard file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        DWORD code = ::GetLastError();
        DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            throw FileError("Cannot read", path, EISDIR);
        throw systemError("Cannot open", path, code);
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        throw FileError("Cannot read", path, std::string("it is not a regular file"));
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) == 0)
        fail("Cannot get the length of", path);
    if (size.QuadPart > std::numeric_limits<std::int32_t>::max())
        throw FileError("Cannot read", path, EFBIG);
    auto length = static_cast<std::size_t>(size.QuadPart);
    image.resize(length);
    std::size_t done = 0;
    while (done < length) {
        DWORD got = 0;
        if (::ReadFile(
                file.get(), image.data() + done, static_cast<DWORD>(length - done), &got, nullptr)
            == 0)
            fail("Cannot read", path);
        if (got == 0)
            throw FileError("Cannot read all of", path, 0);
        done += got;
    }
    if (!file.close())
        fail("Cannot close", path);
}

EntryKind NativeFileOps::kindOf(const std::string& path) noexcept
{
    try {
        const std::wstring wide = systemPath(path);
        HandleGuard handle(openForAttributes(wide));
        if (!handle.valid()) {
            DWORD code = ::GetLastError();
            if (code == ERROR_CANT_RESOLVE_FILENAME)
                return EntryKind::BrokenLink;
            if (!meansMissing(code))
                return EntryKind::Unknown;
            // Something there that leads nowhere is a broken link.
            DWORD attributes = ::GetFileAttributesW(wide.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                return meansMissing(::GetLastError()) ? EntryKind::Missing : EntryKind::Unknown;
            return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::BrokenLink
                                                                    : EntryKind::Unknown;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(handle.get(), &info) == 0)
            return EntryKind::Unknown;
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return EntryKind::Folder;
        return ::GetFileType(handle.get()) == FILE_TYPE_DISK ? EntryKind::File : EntryKind::Other;
    } catch (...) {
        return EntryKind::Unknown;
    }
}

std::optional<FileFacts> NativeFileOps::examine(const std::string& path) noexcept
{
    try {
        HandleGuard handle(openForAttributes(systemPath(path)));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!handle.valid() || ::GetFileInformationByHandle(handle.get(), &info) == 0)
            return std::nullopt;
        FileFacts facts;
        facts.identity = FileIdentity{info.dwVolumeSerialNumber,
            (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
        facts.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        FILE_BASIC_INFO times{};
        if (::GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &times, sizeof times)
            != 0) {
            facts.modified = nanoseconds(times.LastWriteTime.QuadPart);
            facts.changed = nanoseconds(times.ChangeTime.QuadPart);
        } else {
            facts.modified = nanoseconds((std::int64_t{info.ftLastWriteTime.dwHighDateTime} << 32)
                | info.ftLastWriteTime.dwLowDateTime);
            facts.changed = facts.modified;
        }
        return facts;
    } catch (...) {
        return std::nullopt;
    }
}

std::string NativeFileOps::resolveLinks(const std::string& path)
{
    const std::wstring wide = systemPath(path);
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        fail("Cannot examine", path);
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    HandleGuard handle(openForAttributes(wide));
    if (!handle.valid())
        fail("Cannot follow the link", path);
    std::wstring target(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetFinalPathNameByHandleW(handle.get(), target.data(),
            static_cast<DWORD>(target.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            fail("Cannot follow the link", path);
        if (length < target.size()) {
            target.resize(length);
            break;
        }
        target.resize(length);
    }
    if (target.starts_with(L"\\\\?\\UNC\\"))
        target = L"\\\\" + target.substr(8);
    else if (target.starts_with(L"\\\\?\\"))
        target = target.substr(4);
    return toUtf8(target);
}

void NativeFileOps::checkWritable(const std::string& path)
{
    const std::wstring wide = systemPath(path);
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        fail("Cannot write", path);
    // The read-only attribute is what Windows has for a write-protected file.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        throw systemError("Cannot write", path, ERROR_ACCESS_DENIED);
    // The file's access rules and the volume: opening for writing changes nothing.
    HandleGuard file(
        ::CreateFileW(wide.c_str(), GENERIC_WRITE, shareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid())
        fail("Cannot write", path);
}

std::string NativeFileOps::writeTemporary(
    const std::string& targetPath, const std::uint8_t* data, std::size_t size, bool sync)
{
    std::string tempPath;
    std::wstring wide;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; created == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath = beside(targetPath, randomTemporaryName());
        wide = systemPath(tempPath);
        // CREATE_NEW never opens what exists: the name is ours alone.
        created = ::CreateFileW(
            wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (created == INVALID_HANDLE_VALUE
            && (::GetLastError() != ERROR_FILE_EXISTS || attempt == 100))
            fail("Cannot create a temporary file for", targetPath);
    }
    HandleGuard file(created);
    auto failHere = [&](const char* operation) {
        DWORD code = ::GetLastError();
        file.close();
        ::DeleteFileW(wide.c_str());
        throw systemError(operation, targetPath, code);
    };
    if (!writeAll(file.get(), data, size))
        failHere("Cannot write");
    if (sync && ::FlushFileBuffers(file.get()) == 0)
        failHere("Cannot flush");
    if (!file.close()) {
        DWORD code = ::GetLastError();
        ::DeleteFileW(wide.c_str());
        throw systemError("Cannot close", targetPath, code);
    }
    if (!sync) {
        std::lock_guard lock(m_lock);
        m_unflushed.push_back(tempPath);
    }
    return tempPath;
}

bool NativeFileOps::linkNoReplace(const std::string& from, const std::string& to)
{
    const std::wstring source = systemPath(from);
    // A read-only file is write-protected and will not be replaced; refused before it gets a
    // second name, which would share the attribute and could not be removed again.
    const DWORD attributes = ::GetFileAttributesW(source.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        throw systemError("Cannot write", from, ERROR_ACCESS_DENIED);
    // A second name never replaces anything.
    if (::CreateHardLinkW(systemPath(to).c_str(), source.c_str(), nullptr) != 0)
        return true;
    DWORD code = ::GetLastError();
    if (noHardLinks(code))
        return false;
    throw systemError("Cannot make the backup", to, code);
}

void NativeFileOps::renameNoReplace(const std::string& from, const std::string& to)
{
    if (::MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(), MOVEFILE_WRITE_THROUGH)
        == 0)
        fail("Cannot rename \"" + from + "\" to", to);
}

void NativeFileOps::renameReplace(const std::string& from, const std::string& to)
{
    const std::wstring target = systemPath(to);
    const DWORD former = ::GetFileAttributesW(target.c_str());
    // A read-only file is write-protected, also where the system would replace it.
    if (former != INVALID_FILE_ATTRIBUTES && (former & FILE_ATTRIBUTE_READONLY) != 0)
        throw systemError("Cannot rename \"" + from + "\" to", to, ERROR_ACCESS_DENIED);
    if (::MoveFileExW(systemPath(from).c_str(), target.c_str(),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
        == 0)
        fail("Cannot rename \"" + from + "\" to", to);
    // The new file was hidden while it was a temporary one; now it looks as the former did.
    // Its contents are complete either way, so a failure here is no failure of the rename.
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD attributes = former == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_ARCHIVE : former & kept;
    ::SetFileAttributesW(target.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
    std::lock_guard lock(m_lock);
    std::replace(m_unflushed.begin(), m_unflushed.end(), from, to);
}

void NativeFileOps::removeQuietly(const std::string& path) noexcept
{
    try {
        ::DeleteFileW(systemPath(path).c_str());
        std::lock_guard lock(m_lock);
        std::erase(m_unflushed, path);
    } catch (...) {
    }
}

void NativeFileOps::moveToTrash(const std::string& path)
{
    // The recycle bin takes a full path, ended by two zeros.
    std::wstring from = toWide(path);
    std::replace(from.begin(), from.end(), L'/', L'\\');
    std::vector<wchar_t> full(32768), root(32768);
    DWORD length = ::GetFullPathNameW(from.c_str(), 32768, full.data(), nullptr);
    if (length == 0 || length >= 32768)
        fail("Cannot move to the trash", path);
    // Where the volume keeps no recycle bin, deleting would destroy the file: refused first.
    SHQUERYRBINFO bin{};
    bin.cbSize = sizeof bin;
    if (::GetVolumePathNameW(full.data(), root.data(), 32768) == 0
        || ::SHQueryRecycleBinW(root.data(), &bin) != S_OK)
        throw FileError(
            "Cannot move to the trash", path, EIO, std::string("this volume has no recycle bin"));
    std::wstring list(full.data(), length);
    list.push_back(L'\0');
    list.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.fFlags =
        FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_WANTNUKEWARNING;
    const int result = ::SHFileOperationW(&operation);
    if (result != 0 || operation.fAnyOperationsAborted)
        throw FileError("Cannot move to the trash", path, EIO,
            "the recycle bin did not take it (error " + std::to_string(result) + ")");
    if (kindOf(path) != EntryKind::Missing)
        throw FileError(
            "Cannot move to the trash", path, EIO, std::string("this volume has no recycle bin"));
}

void NativeFileOps::syncFolder(const std::string& folder)
{
    const char* operation = "Cannot flush what was written in";
    DWORD attributes = ::GetFileAttributesW(systemPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        fail(operation, folder);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        // A file written there: flushed itself.
        HandleGuard file(::CreateFileW(systemPath(folder).c_str(), GENERIC_WRITE, shareAll, nullptr,
            OPEN_EXISTING, 0, nullptr));
        if (!file.valid() || ::FlushFileBuffers(file.get()) == 0)
            fail(operation, folder);
        return;
    }
    // Windows flushes files, not folders (the renames were written through): flush each file
    // written here without a flush, under its present name.
    std::lock_guard lock(m_lock);
    auto here = std::stable_partition(m_unflushed.begin(), m_unflushed.end(),
        [&](const std::string& path) { return folderOf(path) != folder; });
    for (auto it = here; it != m_unflushed.end(); ++it) {
        HandleGuard file(::CreateFileW(
            systemPath(*it).c_str(), GENERIC_WRITE, shareAll, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file.valid() || ::FlushFileBuffers(file.get()) == 0)
            fail(operation, folder);
    }
    m_unflushed.erase(here, m_unflushed.end());
}

std::vector<FolderItem> NativeFileOps::listFolder(const std::string& folder)
{
    WIN32_FIND_DATAW found{};
    const std::string pattern = inFolder(folder, "*");
    HANDLE search = ::FindFirstFileExW(systemPath(pattern).c_str(), FindExInfoBasic, &found,
        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    std::vector<FolderItem> items;
    if (search == INVALID_HANDLE_VALUE) {
        // A drive's root has no "." and "..": nothing found there is an empty folder.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND && kindOf(folder) == EntryKind::Folder)
            return items;
        fail("Cannot list", folder);
    }
    do {
        std::string name = toUtf8(found.cFileName);
        if (name == "." || name == "..")
            continue;
        FolderItem item;
        item.isHidden =
            name.front() == '.' || (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // A link counts as what it leads to; one that leads nowhere as neither.
            EntryKind kind = kindOf(inFolder(folder, name));
            item.isDirectory = kind == EntryKind::Folder;
            item.isFile = kind == EntryKind::File;
        } else {
            item.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            item.isFile =
                !item.isDirectory && (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        }
        item.name = std::move(name);
        items.push_back(std::move(item));
    } while (::FindNextFileW(search, &found) != 0);
    DWORD code = ::GetLastError();
    ::FindClose(search);
    if (code != ERROR_NO_MORE_FILES)
        throw systemError("Cannot list", folder, code);
    return items;
}

} // namespace sorvanel
