#include "song/MidiBuffer.h"

#include <utility>

namespace sorvanel {

MidiBuffer::MidiBuffer(std::uint8_t* block, std::int32_t size, std::string filePath)
    : m_cursor(block)
    , m_remaining(size < 0 ? 0 : size)
    , m_filePath(std::move(filePath))
{
}

void MidiBuffer::limitRemaining(std::int32_t count)
{
    if (count < 0)
        count = 0;
    if (count < m_remaining)
        m_remaining = count;
}

void MidiBuffer::writeByte(std::uint8_t value)
{
    if (!need(1))
        return;
    *m_cursor = value;
    pass(1);
}

void MidiBuffer::writeWord(std::uint16_t value)
{
    if (!need(2))
        return;
    m_cursor[0] = static_cast<std::uint8_t>(value >> 8);
    m_cursor[1] = static_cast<std::uint8_t>(value);
    pass(2);
}

void MidiBuffer::writeLong(std::uint32_t value)
{
    if (!need(4))
        return;
    m_cursor[0] = static_cast<std::uint8_t>(value >> 24);
    m_cursor[1] = static_cast<std::uint8_t>(value >> 16);
    m_cursor[2] = static_cast<std::uint8_t>(value >> 8);
    m_cursor[3] = static_cast<std::uint8_t>(value);
    pass(4);
}

void MidiBuffer::writeVarLen(std::int32_t value)
{
    if (std::uint8_t* out = claim(varLenSize(value)))
        putVarLen(out, value);
}

void MidiBuffer::writeChars(const char* source, std::int32_t n)
{
    if (!need(n))
        return;
    if (n > 0)
        std::memcpy(m_cursor, source, static_cast<std::size_t>(n));
    pass(n);
}

void MidiBuffer::writeRaw(const std::uint8_t* source, std::int32_t n)
{
    if (!need(n))
        return;
    if (n > 0)
        std::memcpy(m_cursor, source, static_cast<std::size_t>(n));
    pass(n);
}

} // namespace sorvanel
