#pragma once

#include <cstdint>
#include <string>

namespace sorvanel {

/// A cursor over a memory block it does not own, for reading a file image and for writing an
/// encoded song. The block must outlive the cursor and every copy of it.
///
/// Every operation that would pass the end of the block sets the sticky `overflow` flag and
/// does nothing else (no partial read or write); once set, every further operation does
/// nothing and reads return 0 or null. Callers test `overflow()` after a run of operations.
/// A copy is an independent cursor over the same block.
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
    /// RIFF data chunk. Only ever lowers `remaining`.
    void limitRemaining(std::int32_t count);

    /// The next byte without consuming it; sets `overflow` when none is left.
    std::uint8_t peekByte();

    std::uint8_t readByte();
    std::uint16_t readWord();
    std::uint32_t readLong();
    std::int32_t readVarLen();
    /// Copies `n` bytes to `destination` and writes a NUL after them.
    void readChars(char* destination, std::int32_t n);
    void readRaw(void* destination, std::int32_t n);
    /// The address of the next byte, passing `n` bytes; null (and `overflow`) when fewer
    /// remain or `n` is negative.
    const std::uint8_t* take(std::int32_t n);

    void writeByte(std::uint8_t value);
    void writeWord(std::uint16_t value);
    void writeLong(std::uint32_t value);
    void writeVarLen(std::int32_t value);
    void writeChars(const char* source, std::int32_t n);
    void writeRaw(const std::uint8_t* source, std::int32_t n);

    /// The number of bytes `writeVarLen` writes for `value`.
    static std::int32_t varLenSize(std::int32_t value);

private:
    std::uint8_t* m_cursor;
    std::int32_t m_remaining;
    bool m_overflow = false;
    std::string m_filePath;
};

} // namespace sorvanel
