// Per-file costs of whole folders: the title lookup of a folder of small songs (time per
// file), and the peak memory of a clean run over a batch of large files against the peak of
// its largest file alone.
#include "ByteWriting.h"
#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace sorvanel;
using bench::benchFolder;
using bench::Bytes;
using bench::putBigEndian;
using bench::putVarLen;
using bench::writeFile;

/// A track of `count` events: notes and controllers, with a name first when `name` is set.
Bytes trackChunk(std::size_t count, bool name)
{
    Bytes body;
    if (name)
        body.insert(body.end(), {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'});
    for (std::size_t i = 0; i < count; ++i) {
        putVarLen(body, static_cast<std::uint32_t>(i % 3));
        if (i % 2 == 0)
            body.insert(body.end(), {0x90, 0x3C, 0x40});
        else
            body.insert(body.end(), {0xB0, 0x07, 0x64});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes out = {'M', 'T', 'r', 'k'};
    putBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

/// A format-1 file whose tracks hold `counts[i]` events each.
Bytes songFile(const std::vector<std::size_t>& counts)
{
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    putBigEndian(out, static_cast<std::uint32_t>(counts.size()), 2);
    putBigEndian(out, 96, 2);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        Bytes track = trackChunk(counts[i], i == 0);
        out.insert(out.end(), track.begin(), track.end());
    }
    return out;
}

/// The titles of a folder of small songs, as the window lists it.
void BM_FolderTitles(benchmark::State& state)
{
    const auto fileCount = static_cast<std::size_t>(state.range(0));
    auto folder = benchFolder("titles");
    Bytes song = songFile({1'500, 1'500, 1'500}); // about 17 KB
    for (std::size_t i = 0; i < fileCount; ++i)
        writeFile(folder / ("song" + std::to_string(i) + ".mid"), song);
    NativeFileOps files;
    RecordingNotifier notifier;
    for (auto _ : state) {
        std::vector<MidiFileEntry> entries = listMidiFiles(folder.string(), files, notifier);
        if (entries.size() != fileCount)
            state.SkipWithError("not every file was listed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(
        static_cast<std::size_t>(state.iterations()) * fileCount * song.size()));
    state.counters["s/file"] = benchmark::Counter(
        static_cast<double>(fileCount * static_cast<std::size_t>(state.iterations())),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FolderTitles)->Arg(500)->Arg(5'000)->Unit(benchmark::kMillisecond);

/// The peak resident memory, in MB, of a dry clean run over `paths` in a child process of its
/// own, so that no run inherits another's peak.
double peakOfRun(const std::vector<std::string>& paths)
{
    pid_t child = ::fork();
    if (child == 0) {
        std::vector<MidiFileEntry> entries;
        std::vector<std::size_t> rows;
        for (const std::string& path : paths) {
            rows.push_back(entries.size());
            entries.push_back({path, path, {}});
        }
        NativeFileOps files;
        RecordingNotifier notifier;
        CleanOptions options;
        options.DeleteAllControlEvents = 1;
        CleanRunResult result =
            cleanFiles(entries, rows, options, files, notifier, Language::English, true);
        ::_exit(result.stoppedEarly ? 1 : 0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || status != 0)
        return -1;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

/// Sixteen files of about 7 MB, each with its one long track at another index: the batch's
/// peak should stay near that of one file alone, not grow with the long tracks it has seen.
void BM_BatchPeakMemory(benchmark::State& state)
{
    constexpr std::size_t files = 16;
    auto folder = benchFolder("peak");
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < files; ++i) {
        std::vector<std::size_t> counts(files, 100);
        counts[i] = 2'000'000;
        paths.push_back((folder / ("song" + std::to_string(i) + ".mid")).string());
        writeFile(paths.back(), songFile(counts));
    }
    double one = 0;
    double batch = 0;
    for (auto _ : state) {
        one = peakOfRun({paths.back()});
        batch = peakOfRun(paths);
        if (one < 0 || batch < 0)
            state.SkipWithError("a run failed");
    }
    state.counters["one file MB"] = one;
    state.counters["batch MB"] = batch;
    state.counters["batch/one"] = batch / one;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_BatchPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
