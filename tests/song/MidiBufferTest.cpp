#include "song/MidiBuffer.h"

#include "support/MidiBytes.h"

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

using test::Bytes;
using test::hex;

struct VarLenCase
{
    const char* name;
    const char* bytes;
    std::int32_t value;
    bool overflow;
    std::int32_t remainingAfter;
};

TEST(MidiBufferTest, ReadVarLen)
{
    const VarLenCase cases[] = {
        {"one byte", "7F 55", 0x7F, false, 1},
        {"two bytes", "81 00", 0x80, false, 0},
        {"long form of zero", "80 80 00", 0, false, 0},
        {"four bytes", "FF FF FF 7F", 0x0FFFFFFF, false, 0},
        {"five bytes keep the low 32 bits", "8F FF FF FF 7F", -1, false, 0},
        {"six bytes drop the bits shifted out", "81 80 80 80 80 01", 1, false, 0},
        {"cut off after a continued byte", "81 82", (1 << 7) | 2, true, 0},
        {"nothing left", "", 0, true, 0},
    };
    for (const VarLenCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = hex(c.bytes);
        // A block of exactly these bytes: AddressSanitizer catches any look past its end.
        std::vector<std::uint8_t> block(bytes);
        MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "f");
        EXPECT_EQ(buffer.readVarLen(), c.value);
        EXPECT_EQ(buffer.overflow(), c.overflow);
        EXPECT_EQ(buffer.remaining(), c.remainingAfter);
    }
}

TEST(MidiBufferTest, ShortReadsSetOverflowWithoutMovingAndStaySet)
{
    Bytes block = hex("12 34 56");
    MidiBuffer buffer(block.data(), 3, "f");
    EXPECT_EQ(buffer.readLong(), 0u);
    EXPECT_TRUE(buffer.overflow());
    EXPECT_EQ(buffer.remaining(), 3);
    // Sticky: even a read that would fit does nothing now.
    EXPECT_EQ(buffer.readByte(), 0);
    EXPECT_EQ(buffer.take(1), nullptr);
    EXPECT_EQ(buffer.take(0), nullptr);
    EXPECT_EQ(buffer.readVarLen(), 0);
    EXPECT_EQ(buffer.remaining(), 3);
}

TEST(MidiBufferTest, BigEndianReadsAndTake)
{
    Bytes block = hex("12 34 56 78 9A BC DE F0 01");
    MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "f");
    EXPECT_EQ(buffer.readWord(), 0x1234);
    EXPECT_EQ(buffer.readLong(), 0x56789ABCu);
    EXPECT_EQ(buffer.take(0), block.data() + 6);
    EXPECT_EQ(buffer.take(2), block.data() + 6);
    EXPECT_EQ(buffer.peekByte(), 0x01);
    EXPECT_EQ(buffer.remaining(), 1);
    EXPECT_FALSE(buffer.overflow());
    // A length quantity with its top bit set is negative and never fits.
    EXPECT_EQ(buffer.take(-1), nullptr);
    EXPECT_TRUE(buffer.overflow());
}

TEST(MidiBufferTest, PeekAtTheEndSetsOverflow)
{
    Bytes block = hex("01");
    MidiBuffer buffer(block.data(), 1, "f");
    buffer.readByte();
    buffer.peekByte();
    EXPECT_TRUE(buffer.overflow());
}

TEST(MidiBufferTest, CopiesAreIndependentCursors)
{
    Bytes block = hex("01 02 03");
    MidiBuffer buffer(block.data(), 3, "f");
    MidiBuffer copy = buffer;
    buffer.readWord();
    EXPECT_EQ(copy.readByte(), 1);
    EXPECT_EQ(copy.remaining(), 2);
    EXPECT_EQ(buffer.remaining(), 1);
}

TEST(MidiBufferTest, LimitRemainingOnlyLowers)
{
    Bytes block(10);
    MidiBuffer buffer(block.data(), 10, "f");
    buffer.limitRemaining(20);
    EXPECT_EQ(buffer.remaining(), 10);
    buffer.limitRemaining(4);
    EXPECT_EQ(buffer.remaining(), 4);
    buffer.limitRemaining(-5);
    EXPECT_EQ(buffer.remaining(), 0);
}

struct WriteVarLenCase
{
    std::int32_t value;
    const char* bytes;
};

TEST(MidiBufferTest, WriteVarLenUsesTheShortestFormAndMatchesItsSize)
{
    const WriteVarLenCase cases[] = {
        {0, "00"},
        {0x7F, "7F"},
        {0x80, "81 00"},
        {0x3FFF, "FF 7F"},
        {0x4000, "81 80 00"},
        {0x0FFFFFFF, "FF FF FF 7F"},
        {0x10000000, "81 80 80 80 00"},
        {0x7FFFFFFF, "87 FF FF FF 7F"},
        {-1, "7F"}, // top bit set: the low 7 bits in one byte
        {static_cast<std::int32_t>(0x80000080u), "00"},
    };
    for (const WriteVarLenCase& c : cases) {
        SCOPED_TRACE(c.value);
        Bytes expected = hex(c.bytes);
        EXPECT_EQ(MidiBuffer::varLenSize(c.value), static_cast<std::int32_t>(expected.size()));
        Bytes block(expected.size());
        MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "f");
        buffer.writeVarLen(c.value);
        EXPECT_FALSE(buffer.overflow());
        EXPECT_EQ(block, expected);
    }
}

TEST(MidiBufferTest, WritesThatDoNotFitWriteNothing)
{
    struct Case
    {
        const char* name;
        void (*write)(MidiBuffer&);
    };
    const Case cases[] = {
        {"word", [](MidiBuffer& b) { b.writeWord(0x1234); }},
        {"long", [](MidiBuffer& b) { b.writeLong(0x12345678); }},
        {"varlen", [](MidiBuffer& b) { b.writeVarLen(0x4000); }},
        {"chars", [](MidiBuffer& b) { b.writeChars("MTrk", 4); }},
        {"raw",
            [](MidiBuffer& b) {
                static const std::uint8_t data[3] = {1, 2, 3};
                b.writeRaw(data, 3);
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes block = hex("EE EE");
        MidiBuffer buffer(block.data(), 2, "f");
        buffer.writeByte(0x11);
        c.write(buffer);
        EXPECT_TRUE(buffer.overflow());
        EXPECT_EQ(block, hex("11 EE"));
        buffer.writeByte(0x22); // sticky
        EXPECT_EQ(block, hex("11 EE"));
        EXPECT_EQ(buffer.remaining(), 1);
    }
}

} // namespace
} // namespace sorvanel
