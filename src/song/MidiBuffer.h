#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace sorvanel {

/// A cursor over a memory block it does not own, for reading a file image and for writing an
/// encoded song. The block must outlive the cursor and every copy of it.
///
/// Every operation that would pass the end of the block sets the sticky `overflow` flag and
/// does nothing else (no partial read or write); once set, every further operation does
/// nothing and reads return 0 or null. Callers test `overflow()` after a run of operations.
/// A copy is an independent cursor over the same block.
///
/// The reading operations sit in this header because the event decoder calls them for every
/// byte of a file.
class MidiBuffer
{
public:
    MidiBuffer(std::uint8_t* block, std::int32_t size, std::string filePath);

    std::int32_t remaining() const { return m_remaining; }
    bool overflow() const { return m_overflow; }
    const std::string& filePath() const { return m_filePath; }
    /// Address of the next byte to read or write.
    std::uint8_t* cursor() const { return m_cursor; }
    /// Shortens the block so that `remaining` becomes `count`; used to ignore what follows a
    /// RIFF data chunk. Only ever lowers `remaining`; a negative count leaves nothing.
    void limitRemaining(std::int32_t count);

    /// Takes over the position and `overflow` of `other`, a cursor over the same block; the
    /// file path stays. A hot loop reads through a local cursor without a path, which the
    /// compiler can keep in registers, and hands its position back with this.
    void moveTo(const MidiBuffer& other)
    {
        m_cursor = other.m_cursor;
        m_remaining = other.m_remaining;
        m_overflow = other.m_overflow;
    }

    /// Moves the cursor forward to `position`, an address inside the block at or after it: a
    /// loop that reads through plain pointers hands its position back with this.
    void passTo(const std::uint8_t* position)
    {
        pass(static_cast<std::int32_t>(position - m_cursor));
    }
    /// Sets `overflow`, for a reader that found the block ending too early on its own.
    void markOverflow() { m_overflow = true; }

    /// The next byte without consuming it; sets `overflow` when none is left.
    std::uint8_t peekByte()
    {
        if (m_overflow || m_remaining < 1) {
            m_overflow = true;
            return 0;
        }
        return *m_cursor;
    }

    std::uint8_t readByte()
    {
        if (!need(1))
            return 0;
        --m_remaining;
        return *m_cursor++;
    }

    std::uint16_t readWord()
    {
        if (!need(2))
            return 0;
        auto value = static_cast<std::uint16_t>(m_cursor[0] << 8 | m_cursor[1]);
        pass(2);
        return value;
    }

    std::uint32_t readLong()
    {
        if (!need(4))
            return 0;
        std::uint32_t value = std::uint32_t{m_cursor[0]} << 24 | std::uint32_t{m_cursor[1]} << 16
            | std::uint32_t{m_cursor[2]} << 8 | std::uint32_t{m_cursor[3]};
        pass(4);
        return value;
    }

    /// A variable-length quantity of any number of bytes, keeping the low 32 bits. Bytes are
    /// counted off one at a time, so a quantity cut off by the end of the block never looks
    /// past it: `overflow` is set and the value gathered so far returned.
    std::int32_t readVarLen()
    {
        if (m_overflow)
            return 0;
        std::uint32_t value = 0;
        for (;;) {
            if (m_remaining <= 0) {
                m_overflow = true;
                return static_cast<std::int32_t>(value);
            }
            --m_remaining;
            std::uint8_t byte = *m_cursor++;
            value = value << 7 | (byte & 0x7Fu);
            if ((byte & 0x80) == 0)
                return static_cast<std::int32_t>(value);
        }
    }

    /// Copies `n` bytes to `destination` and writes a NUL after them.
    void readChars(char* destination, std::int32_t n)
    {
        if (!need(n))
            return;
        if (n > 0)
            std::memcpy(destination, m_cursor, static_cast<std::size_t>(n));
        destination[n] = '\0';
        pass(n);
    }

    void readRaw(void* destination, std::int32_t n)
    {
        if (!need(n))
            return;
        if (n > 0)
            std::memcpy(destination, m_cursor, static_cast<std::size_t>(n));
        pass(n);
    }

    /// The address of the next byte, passing `n` bytes; null (and `overflow`) when fewer
    /// remain or `n` is negative. With `n` 0 it is the current address.
    const std::uint8_t* take(std::int32_t n)
    {
        if (!need(n))
            return nullptr;
        const std::uint8_t* address = m_cursor;
        pass(n);
        return address;
    }

    /// The address of the next `n` bytes for the caller to fill, passing them; null (and
    /// `overflow`) when fewer remain. Lets an encoder check once per event.
    std::uint8_t* claim(std::int32_t n)
    {
        if (!need(n))
            return nullptr;
        std::uint8_t* address = m_cursor;
        pass(n);
        return address;
    }

    /// Stores `value` as `writeVarLen` does at `out`, which must have room for
    /// `varLenSize(value)` bytes; returns the address after it.
    static std::uint8_t* putVarLen(std::uint8_t* out, std::int32_t value)
    {
        if (value < 0)
            value &= 0x7F;
        auto v = static_cast<std::uint32_t>(value);
        if (v < 0x80) {
            *out = static_cast<std::uint8_t>(v);
            return out + 1;
        }
        int shift = 28;
        while ((v >> shift) == 0)
            shift -= 7;
        for (; shift > 0; shift -= 7)
            *out++ = static_cast<std::uint8_t>(0x80 | (v >> shift & 0x7F));
        *out = static_cast<std::uint8_t>(v & 0x7F);
        return out + 1;
    }

    void writeByte(std::uint8_t value);
    void writeWord(std::uint16_t value);
    void writeLong(std::uint32_t value);
    /// The shortest form; a value with its top bit set is written as one byte holding its low
    /// 7 bits, the same as `varLenSize` counts it.
    void writeVarLen(std::int32_t value);
    void writeChars(const char* source, std::int32_t n);
    void writeRaw(const std::uint8_t* source, std::int32_t n);

    /// The number of bytes `writeVarLen` writes for `value`.
    static std::int32_t varLenSize(std::int32_t value)
    {
        if (value < 0x80) // most delta times; negative values too
            return 1;
        std::int32_t size = 1;
        while ((value >>= 7) > 0)
            ++size;
        return size;
    }

private:
    /// True when `n` more bytes may be passed; otherwise sets `overflow`.
    bool need(std::int32_t n)
    {
        if (m_overflow)
            return false;
        if (n < 0 || n > m_remaining) {
            m_overflow = true;
            return false;
        }
        return true;
    }
    void pass(std::int32_t n)
    {
        m_cursor += n;
        m_remaining -= n;
    }

    std::uint8_t* m_cursor;
    std::int32_t m_remaining;
    bool m_overflow = false;
    std::string m_filePath;
};

} // namespace sorvanel
