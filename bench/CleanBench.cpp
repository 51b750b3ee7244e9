// Throughput of cleaning: one large file (read, parse, clean, encode), a folder of small files
// through the whole batch run (with backups and renames), and one long track cleaned alone at
// growing sizes, where the time per event must stay flat.
#include "ByteWriting.h"
#include "cleaning/CleanRun.h"
#include "cleaning/EventFilter.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "song/Song.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace sorvanel;
using bench::benchFolder;
using bench::Bytes;
using bench::putBigEndian;
using bench::putVarLen;
using bench::writeFile;

/// The events of a track: a mix of notes, kept and deleted controllers, pitch bend, program
/// changes and SysEx, about half of which the benchmark options delete.
Bytes trackEvents(std::size_t count, unsigned seed)
{
    Bytes out;
    out.reserve(count * 5);
    unsigned state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        auto channel = static_cast<std::uint8_t>((state >> 16) & 0x0F);
        putVarLen(out, (state >> 20) & 0x3F);
        switch (i % 10) {
        case 0:
        case 2:
        case 5:
            out.insert(out.end(), {static_cast<std::uint8_t>(0x90 | channel), 0x3C, 0x40});
            break;
        case 1:
        case 6:
            out.insert(out.end(), {static_cast<std::uint8_t>(0x80 | channel), 0x3C, 0x00});
            break;
        case 3:
        case 7:
            out.insert(out.end(), {static_cast<std::uint8_t>(0xB0 | channel), 0x4A, 0x10});
            break;
        case 4:
        case 8:
            out.insert(out.end(), {static_cast<std::uint8_t>(0xE0 | channel), 0x00, 0x40});
            break;
        default:
            if (i % 50 == 9)
                out.insert(out.end(), {0xF0, 0x07, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0xF7});
            else
                out.insert(out.end(), {static_cast<std::uint8_t>(0xB0 | channel), 0x07, 0x64});
        }
    }
    return out;
}

/// A file of `tracks` tracks holding `events` events between them (End-of-Track aside).
Bytes songFile(std::size_t events, int tracks)
{
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(tracks > 1 ? 1 : 0),
        0, static_cast<std::uint8_t>(tracks), 0, 96};
    for (int t = 0; t < tracks; ++t) {
        Bytes body =
            trackEvents(events / static_cast<std::size_t>(tracks), static_cast<unsigned>(t + 1));
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        putBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

CleanOptions benchOptions()
{
    CleanOptions options;
    options.DeleteSysExEvents = 1;
    options.DeleteAllControlEvents = 1;
    options.ExceptControlEvents = 1; // spares Volume (controller 7), deletes the others
    options.PitchBend = 0;
    return options;
}

std::size_t eventCount(const Song& song)
{
    std::size_t n = 0;
    for (const Track& track : song.tracks)
        n += track.events.size();
    return n;
}

/// The whole per-file work on a file already in the page cache: read, parse, clean, encode.
void BM_ReadParseCleanEncode(benchmark::State& state)
{
    auto folder = benchFolder("large");
    auto path = (folder / "large.mid").string();
    writeFile(path, songFile(static_cast<std::size_t>(state.range(0)), 4));
    NativeFileOps files;
    RecordingNotifier notifier;
    CleanOptions options = benchOptions();
    Bytes image, output;
    std::size_t events = 0;
    for (auto _ : state) {
        files.readWhole(path, image);
        Song song;
        MidiBuffer input(image.data(), static_cast<std::int32_t>(image.size()), path);
        if (!song.read(input, notifier))
            state.SkipWithError("read failed");
        events = eventCount(song);
        cleanSong(song, options);
        output.resize(static_cast<std::size_t>(song.encodedSize()));
        MidiBuffer out(output.data(), static_cast<std::int32_t>(output.size()), path);
        song.write(out, notifier);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * image.size()));
    state.counters["events/s"] = benchmark::Counter(
        static_cast<double>(events * static_cast<std::size_t>(state.iterations())),
        benchmark::Counter::kIsRate);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadParseCleanEncode)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

/// The reference: only reading the same bytes.
void BM_PlainRead(benchmark::State& state)
{
    auto folder = benchFolder("plain");
    auto path = (folder / "large.mid").string();
    writeFile(path, songFile(static_cast<std::size_t>(state.range(0)), 4));
    NativeFileOps files;
    Bytes image;
    for (auto _ : state) {
        files.readWhole(path, image);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * image.size()));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PlainRead)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

/// A folder of small files through the batch run: every file changes, gets its backup and is
/// replaced; the run ends with one sync. The files are restored between iterations.
void BM_BatchRunSmallFiles(benchmark::State& state)
{
    const auto fileCount = static_cast<std::size_t>(state.range(0));
    const bool dryRun = state.range(1) != 0; // everything but writing, renaming and syncing
    auto folder = benchFolder("batch");
    Bytes original = songFile(4'400, 4); // about 17 KB
    std::vector<MidiFileEntry> entries;
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < fileCount; ++i) {
        std::string name = "song" + std::to_string(i) + ".mid";
        entries.push_back({(folder / name).string(), name, {}});
        rows.push_back(i);
    }
    NativeFileOps files;
    RecordingNotifier notifier;
    CleanOptions options = benchOptions();
    for (auto _ : state) {
        state.PauseTiming();
        for (const MidiFileEntry& entry : entries) {
            std::filesystem::remove(entry.fullPath + ".bak");
            writeFile(entry.fullPath, original);
        }
        ::sync();
        state.ResumeTiming();
        CleanRunResult result =
            cleanFiles(entries, rows, options, files, notifier, Language::English, dryRun);
        if (result.stoppedEarly || result.logLines.size() != fileCount + 2)
            state.SkipWithError("the run did not change every file");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(
        static_cast<std::size_t>(state.iterations()) * fileCount * original.size()));
    state.counters["files/s"] = benchmark::Counter(
        static_cast<double>(fileCount * static_cast<std::size_t>(state.iterations())),
        benchmark::Counter::kIsRate);
    // Flat from the smaller batch to the larger one when nothing is paid again per file.
    state.counters["s/file"] = benchmark::Counter(
        static_cast<double>(fileCount * static_cast<std::size_t>(state.iterations())),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_BatchRunSmallFiles)
    ->Args({500, 1})
    ->Args({5'000, 0})
    ->Args({5'000, 1})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

/// One track cleaned alone, half of its events deleted: time per event must not grow with
/// the track.
void BM_CleanOneTrack(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    Bytes image = songFile(count, 1);
    RecordingNotifier notifier;
    Song prepared;
    MidiBuffer input(image.data(), static_cast<std::int32_t>(image.size()), "bench.mid");
    if (!prepared.read(input, notifier)) {
        state.SkipWithError("read failed");
        return;
    }
    CleanOptions options = benchOptions();
    CleanCounts counts;
    // Copied into the same memory each time, so neither fresh pages nor their release are
    // part of the measurement.
    Song song = prepared;
    for (auto _ : state) {
        state.PauseTiming();
        song = prepared;
        state.ResumeTiming();
        counts = cleanSong(song, options);
        benchmark::DoNotOptimize(song.tracks.data());
    }
    state.counters["deleted"] =
        static_cast<double>(counts.controllersRemoved + counts.sysExRemoved);
    state.counters["events/s"] = benchmark::Counter(
        static_cast<double>(count * static_cast<std::size_t>(state.iterations())),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CleanOneTrack)
    ->Arg(625'000)
    ->Arg(1'250'000)
    ->Arg(2'500'000)
    ->Arg(5'000'000)
    ->Unit(benchmark::kMillisecond);

/// The same track read, cleaned and encoded, for comparison with whole-file figures; its
/// event array grows from a few thousand events while it is read, and the time per event
/// must stay flat all the same.
void BM_ParseCleanEncodeOneTrack(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    Bytes image = songFile(count, 1);
    RecordingNotifier notifier;
    CleanOptions options = benchOptions();
    Bytes output;
    // As a batch run does it: the song keeps its arrays from one file to the next, and the
    // events are deleted as they are read.
    Song song;
    for (auto _ : state) {
        song.clear();
        MidiBuffer input(image.data(), static_cast<std::int32_t>(image.size()), "bench.mid");
        CleanCounts counts;
        readCleanSong(song, input, notifier, options, counts);
        output.resize(cleanedSizeBound(song, image.size(), counts));
        MidiBuffer out(output.data(), static_cast<std::int32_t>(output.size()), "bench.mid");
        song.write(out, notifier);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * image.size()));
    state.counters["events/s"] = benchmark::Counter(
        static_cast<double>(count * static_cast<std::size_t>(state.iterations())),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseCleanEncodeOneTrack)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Arg(5'000'000)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
