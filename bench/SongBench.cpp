// Parse and encode throughput of the song model on large generated files, next to the two
// floors they are measured against: copying the image and a bare one-pass scan of its events.

#include "ByteWriting.h"
#include "platform/Notifier.h"
#include "song/Song.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using bench::Bytes;
using bench::putBigEndian;
using bench::putVarLen;
using sorvanel::MidiBuffer;
using sorvanel::RecordingNotifier;
using sorvanel::Song;

struct Random
{
    std::uint32_t state = 12345;
    std::uint32_t next(std::uint32_t below)
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    }
};

/// A track body of about `events` events: mostly notes in running status, controllers,
/// program changes, pitch bends, some SysEx (short and long) and meta events.
Bytes trackBody(Random& random, std::size_t events, std::uint8_t channel)
{
    Bytes out;
    out.reserve(events * 4 + 64);
    const char name[] = "Generated track";
    out.insert(out.end(), {0x00, 0xFF, 0x03, sizeof name - 1});
    out.insert(out.end(), name, name + sizeof name - 1);
    std::uint8_t running = 0;
    for (std::size_t i = 0; i < events; ++i) {
        putVarLen(out, random.next(8) == 0 ? 0 : random.next(400));
        std::uint32_t kind = random.next(100);
        if (kind < 70) { // note on / off, usually in running status
            auto status = static_cast<std::uint8_t>(0x90 | channel);
            if (running != status || random.next(8) == 0)
                out.push_back(status);
            running = status;
            out.push_back(static_cast<std::uint8_t>(36 + random.next(48)));
            out.push_back(static_cast<std::uint8_t>(random.next(2) ? 0 : 1 + random.next(126)));
        } else if (kind < 88) { // controller
            auto status = static_cast<std::uint8_t>(0xB0 | channel);
            if (running != status)
                out.push_back(status);
            running = status;
            out.push_back(static_cast<std::uint8_t>(random.next(8) == 0 ? 7 : 1 + random.next(11)));
            out.push_back(static_cast<std::uint8_t>(random.next(128)));
        } else if (kind < 93) { // pitch bend
            running = static_cast<std::uint8_t>(0xE0 | channel);
            out.insert(out.end(),
                {running, static_cast<std::uint8_t>(random.next(128)),
                    static_cast<std::uint8_t>(random.next(128))});
        } else if (kind < 96) { // program change
            running = static_cast<std::uint8_t>(0xC0 | channel);
            out.insert(out.end(), {running, static_cast<std::uint8_t>(random.next(128))});
        } else if (kind < 98) { // SysEx, now and then a long bulk dump
            running = 0xF0;
            std::uint32_t length =
                random.next(20) == 0 ? 200 + random.next(300) : 4 + random.next(8);
            out.push_back(0xF0);
            putVarLen(out, length);
            for (std::uint32_t b = 0; b + 1 < length; ++b)
                out.push_back(static_cast<std::uint8_t>(random.next(128)));
            out.push_back(0xF7);
        } else { // meta: tempo or a marker
            running = 0xFF;
            if (random.next(2) == 0) {
                out.insert(out.end(), {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
            } else {
                out.insert(out.end(), {0xFF, 0x06, 0x06, 'M', 'a', 'r', 'k', 'e', 'r'});
            }
        }
    }
    out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
    return out;
}

struct Sample
{
    Bytes image;
    std::size_t events = 0;
};

Sample makeFile(std::size_t tracks, std::size_t eventsPerTrack)
{
    Random random;
    Sample sample;
    Bytes& out = sample.image;
    out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0});
    out.push_back(tracks > 1 ? 1 : 0);
    putBigEndian(out, static_cast<std::uint32_t>(tracks), 2);
    putBigEndian(out, 480, 2);
    for (std::size_t t = 0; t < tracks; ++t) {
        Bytes body = trackBody(random, eventsPerTrack, static_cast<std::uint8_t>(t % 16));
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        putBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
        sample.events += eventsPerTrack + 2;
    }
    return sample;
}

/// Sixteen tracks, about 40 MB; and one track of five million events.
const Sample& sample(std::int64_t which)
{
    static const Sample many = makeFile(16, 625000);
    static const Sample single = makeFile(1, 5000000);
    return which == 0 ? many : single;
}

std::int64_t which(const benchmark::State& state)
{
    return state.range(0);
}

void setCounters(benchmark::State& state, const Sample& s)
{
    state.SetBytesProcessed(
        static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * s.image.size()));
    state.counters["events/s"] = benchmark::Counter(
        static_cast<double>(s.events), benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(which(state) == 0 ? "16 tracks" : "1 track");
}

/// Floor 1: the image copied into fresh memory, as a whole-file read would.
void BM_CopyImage(benchmark::State& state)
{
    const Sample& s = sample(which(state));
    for (auto _ : state) {
        Bytes copy(s.image);
        benchmark::DoNotOptimize(copy.data());
    }
    setCounters(state, s);
}

/// Floor 2: one pass over the events that writes every event's bytes to a fresh block, with
/// no model in between.
void BM_BareScan(benchmark::State& state)
{
    const Sample& s = sample(which(state));
    for (auto _ : state) {
        Bytes out(s.image.size() + s.events);
        const std::uint8_t* p = s.image.data() + 14;
        const std::uint8_t* end = s.image.data() + s.image.size();
        std::uint8_t* o = out.data();
        while (p + 8 <= end) {
            std::uint32_t length =
                std::uint32_t{p[4]} << 24 | std::uint32_t{p[5]} << 16 | p[6] << 8 | p[7];
            const std::uint8_t* chunkEnd = p + 8 + length;
            p += 8;
            std::uint8_t running = 0;
            while (p < chunkEnd) {
                const std::uint8_t* start = p;
                while (*p & 0x80)
                    ++p;
                ++p;
                std::uint8_t status = *p < 0x80 ? running : *p++;
                running = status;
                std::size_t n;
                if (status < 0xF0) {
                    n = (status & 0xE0) == 0xC0 ? 1 : 2;
                } else {
                    if (status == 0xFF)
                        ++p;
                    std::uint32_t v = 0;
                    while (*p & 0x80)
                        v = v << 7 | (*p++ & 0x7F);
                    v = v << 7 | *p++;
                    n = v;
                }
                p += n;
                std::memcpy(o, start, static_cast<std::size_t>(p - start));
                o += p - start;
            }
        }
        benchmark::DoNotOptimize(o);
    }
    setCounters(state, s);
}

void BM_Parse(benchmark::State& state)
{
    const Sample& s = sample(which(state));
    Bytes image(s.image);
    for (auto _ : state) {
        Song song;
        RecordingNotifier notifier;
        MidiBuffer buffer(image.data(), static_cast<std::int32_t>(image.size()), "bench");
        if (!song.read(buffer, notifier))
            state.SkipWithError("refused");
        benchmark::DoNotOptimize(song.tracks.data());
    }
    setCounters(state, s);
}

/// As a batch run does it: one `Song` cleared between files keeps its event storage.
void BM_ParseReused(benchmark::State& state)
{
    const Sample& s = sample(which(state));
    Bytes image(s.image);
    Song song;
    for (auto _ : state) {
        song.clear();
        RecordingNotifier notifier;
        MidiBuffer buffer(image.data(), static_cast<std::int32_t>(image.size()), "bench");
        if (!song.read(buffer, notifier))
            state.SkipWithError("refused");
        benchmark::DoNotOptimize(song.tracks.data());
    }
    setCounters(state, s);
}

/// Size, a fresh block and the encoding into it.
void BM_Encode(benchmark::State& state)
{
    const Sample& s = sample(which(state));
    Bytes image(s.image);
    Song song;
    RecordingNotifier notifier;
    MidiBuffer input(image.data(), static_cast<std::int32_t>(image.size()), "bench");
    song.read(input, notifier);
    for (auto _ : state) {
        Bytes block(static_cast<std::size_t>(song.encodedSize()));
        MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "bench");
        if (!song.write(buffer, notifier))
            state.SkipWithError("too small");
        benchmark::DoNotOptimize(block.data());
    }
    setCounters(state, s);
}

/// Parse and encode, to set against the bare scan.
void BM_ParseAndEncode(benchmark::State& state)
{
    const Sample& s = sample(which(state));
    Bytes image(s.image);
    for (auto _ : state) {
        Song song;
        RecordingNotifier notifier;
        MidiBuffer input(image.data(), static_cast<std::int32_t>(image.size()), "bench");
        song.read(input, notifier);
        Bytes block(static_cast<std::size_t>(song.encodedSize()));
        MidiBuffer buffer(block.data(), static_cast<std::int32_t>(block.size()), "bench");
        if (!song.write(buffer, notifier))
            state.SkipWithError("too small");
        benchmark::DoNotOptimize(block.data());
    }
    setCounters(state, s);
}

} // namespace

BENCHMARK(BM_CopyImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseReused)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
