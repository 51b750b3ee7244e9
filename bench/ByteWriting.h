#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

/// Byte appenders and file helpers for the files the benchmarks generate.
namespace bench {

using Bytes = std::vector<std::uint8_t>;

/// A variable-length quantity in its shortest form.
inline void putVarLen(Bytes& out, std::uint32_t value)
{
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n-- > 0)
        out.push_back(static_cast<std::uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
}

/// The low `bytes` bytes of `value`, most significant first.
inline void putBigEndian(Bytes& out, std::uint32_t value, int bytes)
{
    while (bytes-- > 0)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * bytes)));
}

/// A new, empty folder for one benchmark's files, named after the process and `name`.
inline std::filesystem::path benchFolder(const char* name)
{
    auto folder = std::filesystem::temp_directory_path()
        / ("sorvanel-bench-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

} // namespace bench
