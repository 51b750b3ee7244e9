#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace sorvanel {
class Song;
}

/// Readable builders for MIDI file bytes in tests, and helpers to read and write them.
namespace sorvanel::test {

using Bytes = std::vector<std::uint8_t>;

/// Bytes from hex pairs; blanks and '|' (to group events) are ignored: "00 90 3C 40 | 00 FF 2F 00".
Bytes hex(std::string_view text);
/// The characters as they stand, e.g. a chunk id or a title.
Bytes text(std::string_view characters);
Bytes be16(std::uint16_t value);
Bytes be32(std::uint32_t value);
Bytes le32(std::uint32_t value);
/// The shortest variable-length quantity of `value`.
Bytes varLen(std::uint32_t value);

Bytes operator+(Bytes left, const Bytes& right);

/// A chunk: id, big-endian length of `body`, body.
Bytes chunk(std::string_view id, const Bytes& body);
/// A chunk whose length field says `length` whatever the body holds.
Bytes chunkWithLength(std::string_view id, std::uint32_t length, const Bytes& body);
/// "MThd" with length 6, format word, track count and division.
Bytes header(std::uint16_t format, std::uint16_t trackCount, std::uint16_t division = 96);
/// "MTrk" around `events`; `withEnd` appends the End-of-Track event (delta 0).
Bytes track(const Bytes& events, bool withEnd = true);
/// A header (format 0 for one track, 1 otherwise, or as given) followed by the tracks.
Bytes smf(std::initializer_list<Bytes> tracks, int format = -1, std::uint16_t division = 96);
/// A RIFF container around a file image: "RIFF", size, "RMID", "data", data size, image.
/// `dataSize` replaces the true data size when given.
Bytes riff(const Bytes& image, std::int64_t dataSize = -1);
/// The End-of-Track event with delta 0.
Bytes endOfTrack();

std::string toHex(const Bytes& bytes);

/// What a read left: whether the song was accepted and the messages shown.
struct ReadResult
{
    bool accepted = false;
    std::vector<std::string> messages;
};

/// Reads `image` (which must outlive `song`) as the file "/songs/test.mid".
ReadResult readSong(Song& song, Bytes& image);
inline constexpr const char* testPath = "/songs/test.mid";
std::string invalidFileMessage();
std::string invalidTrackMessage();

/// Encodes `song` into a block of exactly its encoded size; fails the test when it does not
/// fill the block exactly or shows a message.
Bytes encode(Song& song);

/// The song as text, one event per line, for comparing songs with readable differences.
std::string dump(const Song& song);

} // namespace sorvanel::test
