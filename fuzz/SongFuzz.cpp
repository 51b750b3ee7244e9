// Feeds arbitrary bytes to the reader; every accepted song must encode into exactly its
// announced size, and that encoding must read back and encode to the same bytes. The title
// scan must judge every input as the reader does, and a song that keeps the event arrays of
// the inputs before must read each one as a fresh song does.

#include "platform/Notifier.h"
#include "song/Song.h"
#include "song/SongTitle.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "SongFuzz: %s\n", what);
        std::abort();
    }
}

std::vector<std::uint8_t> encode(sorvanel::Song& song)
{
    std::vector<std::uint8_t> block(static_cast<std::size_t>(song.encodedSize()));
    sorvanel::RecordingNotifier notifier;
    sorvanel::MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "out");
    check(song.write(buffer, notifier), "an accepted song did not fit its encoded size");
    check(buffer.remaining() == 0, "the encoding left part of the block unused");
    check(notifier.texts.empty(), "the writer showed a message");
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy: the reader may not look at a byte past it.
    std::vector<std::uint8_t> image(data, data + size);
    sorvanel::Song song;
    sorvanel::RecordingNotifier notifier;
    const bool accepted = song.readImage(image, "in", notifier);

    sorvanel::RecordingNotifier scanned;
    sorvanel::MidiBuffer buffer(image.data(), static_cast<std::int32_t>(image.size()), "in");
    std::string title;
    check(sorvanel::scanSongTitle(buffer, scanned, title) == accepted,
        "the title scan and the reader judge a file differently");
    check(scanned.texts == notifier.texts, "the title scan and the reader show different messages");

    static sorvanel::Song reused;
    reused.clear();
    sorvanel::RecordingNotifier reusedMessages;
    check(reused.readImage(image, "in", reusedMessages) == accepted
            && reusedMessages.texts == notifier.texts,
        "a reused song and a fresh one judge a file differently");

    if (!accepted) {
        check(notifier.texts.size() == 1, "a refused file did not show exactly one message");
        reused.clear(); // its events refer into this image
        return 0;
    }
    check(notifier.texts.empty(), "an accepted file showed a message");
    check(title == sorvanel::findSongTitle(song), "the title scan found another title");

    std::vector<std::uint8_t> first = encode(song);
    check(encode(reused) == first, "a reused song encodes differently from a fresh one");
    reused.clear();
    sorvanel::Song again;
    check(again.readImage(first, "out", notifier), "the encoding does not read back");
    std::vector<std::uint8_t> second = encode(again);
    check(first == second, "the encoding does not encode to itself");
    return 0;
}
