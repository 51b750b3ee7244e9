#pragma once

#include <cstdint>
#include <vector>

/// Byte appenders for the files the benchmarks generate.
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

} // namespace bench
