// Cleans every song the reader accepts, with options taken from a hash of the input: the
// result must encode into exactly its announced size and read back, the counts must match the
// events that went and came, and cleaning the result again must find nothing more to delete
// but the resets it inserted. The batch's one-pass ways (deleting while reading, and writing
// while reading when nothing is inserted) must give the same bytes and refuse the same files.

#include "cleaning/EventFilter.h"
#include "platform/Notifier.h"
#include "song/Song.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "CleanFuzz: %s\n", what);
        std::abort();
    }
}

std::size_t eventCount(const sorvanel::Song& song)
{
    std::size_t n = 0;
    for (const sorvanel::Track& track : song.tracks)
        n += track.events.size();
    return n;
}

/// Options from 8 bytes: 17 flags from the first three, one manufacturer and one controller
/// slot from the next, the rest of the slots empty.
sorvanel::CleanOptions optionsFrom(const std::uint8_t* bytes)
{
    sorvanel::CleanOptions options;
    int bit = 0;
    for (sorvanel::StoredOption& value : sorvanel::storedOptions(options)) {
        if (!value.flag)
            continue;
        *value.flag = (bytes[bit / 8] >> (bit % 8)) & 1;
        ++bit;
    }
    options.ManufacturerId[bytes[3] % 12].HexText = sorvanel::valueToHexText(bytes[4]);
    options.Control[bytes[5] % 8].HexText = sorvanel::valueToHexText(bytes[6] & 0x7F);
    options.recomputeSlotValues();
    return options;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The whole input is the file, so seed files stay valid; its hash picks the options.
    std::uint64_t hash = 14695981039346656037u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 1099511628211u;
    std::uint8_t optionBytes[8];
    for (int i = 0; i < 8; ++i)
        optionBytes[i] = static_cast<std::uint8_t>(hash >> (8 * i));
    sorvanel::CleanOptions options = optionsFrom(optionBytes);
    std::vector<std::uint8_t> image(data, data + size);
    sorvanel::Song song;
    sorvanel::RecordingNotifier notifier;
    if (!song.readImage(image, "in", notifier)) {
        // Cleaning while reading refuses it with the same message.
        std::vector<std::uint8_t> streamed(sorvanel::sievedSizeBound(image.size()));
        sorvanel::MidiBuffer replay(image.data(), static_cast<std::int32_t>(image.size()), "in");
        sorvanel::RecordingNotifier refusal;
        std::size_t written = 0;
        sorvanel::CleanCounts ignored;
        check(sorvanel::cleanWhileReading(
                  replay, refusal, options, streamed.data(), streamed.size(), written, ignored)
                    == sorvanel::SievedWrite::Refused
                && refusal.texts == notifier.texts,
            "cleaning while reading judges a file otherwise");
        return 0;
    }

    std::size_t before = eventCount(song);
    sorvanel::CleanCounts counts = sorvanel::cleanSong(song, options);
    check(eventCount(song) + static_cast<std::size_t>(counts.sysExRemoved)
                + static_cast<std::size_t>(counts.controllersRemoved)
            == before + static_cast<std::size_t>(counts.resetsInserted),
        "the counts do not match the events removed and inserted");
    check(counts.changed
            == (counts.sysExRemoved + counts.controllersRemoved + counts.resetsInserted > 0),
        "changed does not match the counts");

    std::vector<std::uint8_t> block(static_cast<std::size_t>(song.encodedSize()));
    sorvanel::MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "out");
    check(song.write(buffer, notifier), "a cleaned song did not fit its encoded size");
    check(buffer.remaining() == 0, "the encoding left part of the block unused");

    // Deleting while reading gives the same song, within the block size the batch allots.
    sorvanel::Song sieved;
    sorvanel::CleanCounts sievedCounts;
    sorvanel::MidiBuffer input(image.data(), static_cast<std::int32_t>(image.size()), "in");
    check(sorvanel::readCleanSong(sieved, input, notifier, options, sievedCounts)
            && sievedCounts == counts,
        "cleaning while reading counts otherwise");
    check(block.size() <= sorvanel::cleanedSizeBound(sieved, image.size(), sievedCounts),
        "a cleaned song is larger than its bound");
    std::vector<std::uint8_t> sievedBlock(block.size() + 16);
    sorvanel::MidiBuffer sievedOut(
        sievedBlock.data(), static_cast<std::int32_t>(sievedBlock.size()), "out");
    check(sieved.write(sievedOut, notifier)
            && sievedBlock.size() - static_cast<std::size_t>(sievedOut.remaining()) == block.size()
            && std::equal(block.begin(), block.end(), sievedBlock.begin()),
        "cleaning while reading encodes otherwise");

    // A clean that only deletes is written while the song is read, to the same bytes.
    if (sorvanel::insertsNothing(options)) {
        std::vector<std::uint8_t> streamed(sorvanel::sievedSizeBound(image.size()));
        sorvanel::MidiBuffer replay(image.data(), static_cast<std::int32_t>(image.size()), "in");
        std::size_t written = 0;
        sorvanel::CleanCounts streamedCounts;
        check(sorvanel::cleanWhileReading(replay, notifier, options, streamed.data(),
                  streamed.size(), written, streamedCounts)
                    == sorvanel::SievedWrite::Written
                && streamedCounts == counts && written == block.size()
                && std::equal(block.begin(), block.end(), streamed.begin()),
            "cleaning while reading writes otherwise");
    }

    sorvanel::Song again;
    check(again.readImage(block, "out", notifier), "a cleaned song does not read back");
    sorvanel::CleanCounts second = sorvanel::cleanSong(again, options);
    // Only the resets inserted after the deletion may be condemned the second time.
    check(second.sysExRemoved == 0 && second.controllersRemoved <= counts.resetsInserted,
        "cleaning twice deleted more");
    return 0;
}
