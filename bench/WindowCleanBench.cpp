// The main window cleaning a folder of small songs, as a user who selected them all and
// confirmed the options sees it: from the click on "Clean" until the log window is painted;
// beside it the core's run over the same files, how soon the progress window is painted and
// how soon Cancel stops the run.
#include "ByteWriting.h"
#include "app/StandardServices.h"
#include "cleaning/CleanRun.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"
#include "ui/LogDialog.h"
#include "ui/MainDialog.h"
#include "ui/ProgressRun.h"
#include "ui/controls/ColumnListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

using namespace sorvanel;
using namespace bench;

namespace {

constexpr int songCount = 20'000;

/// A format-0 song of about 1 KB: notes, controllers and a SysEx event, titled `title`.
Bytes smallSong(const std::string& title)
{
    Bytes body = {0x00, 0xFF, 0x03};
    putVarLen(body, static_cast<std::uint32_t>(title.size()));
    body.insert(body.end(), title.begin(), title.end());
    body.insert(body.end(), {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    for (std::uint8_t i = 0; i < 60; ++i) {
        body.insert(body.end(), {0x00, 0x90, 60, 100});
        body.insert(body.end(), {0x10, 0xB0, 7, i});
        body.insert(body.end(), {0x10, 0x80, 60, 0});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    putBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

/// A folder of `songCount` songs that can be put back as they were before each round.
struct SongFolder
{
    std::filesystem::path folder = benchFolder("window-clean");
    Bytes song = smallSong("Song");

    std::filesystem::path songPath(int i) const
    {
        return folder / ("song" + std::to_string(i) + ".mid");
    }

    /// Rewrites the cleaned songs and removes their backups.
    void reset() const
    {
        for (int i = 0; i < songCount; ++i) {
            std::filesystem::path path = songPath(i);
            std::filesystem::path backup = path.string() + ".bak";
            if (std::filesystem::exists(backup) || !std::filesystem::exists(path)) {
                std::filesystem::remove(backup);
                writeFile(path, song);
            }
        }
    }

    ~SongFolder() { std::filesystem::remove_all(folder); }
};

CleanOptions deleteEverything()
{
    CleanOptions options;
    options.DeleteAllControlEvents = 1;
    options.ExceptControlEvents = 0;
    options.DeleteSysExEvents = 1;
    return options;
}

/// Notes when the progress window is first painted and, when `cancelAfterMs` is not negative,
/// presses its Cancel that long afterwards.
class ProgressProbe : public QObject
{
public:
    explicit ProgressProbe(int cancelAfterMs = -1)
        : m_cancelAfterMs(cancelAfterMs)
    {
        qApp->installEventFilter(this);
    }
    ~ProgressProbe() override { qApp->removeEventFilter(this); }

    QElapsedTimer clock;
    qint64 paintedAtMs = -1;
    qint64 cancelledAtMs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* progress = qobject_cast<ui::ProgressDialog*>(watched);
        if (event->type() == QEvent::Paint && progress && paintedAtMs < 0) {
            paintedAtMs = clock.elapsed();
            if (m_cancelAfterMs >= 0)
                QTimer::singleShot(m_cancelAfterMs, progress, [this, progress] {
                    cancelledAtMs = clock.elapsed();
                    progress->cancelButton()->click();
                });
        }
        return false;
    }

private:
    int m_cancelAfterMs;
};

struct Window
{
    MemorySettingsStore store;
    NativeFileOps files;
    RecordingNotifier notifier;
    std::unique_ptr<ui::MainDialog> window;

    explicit Window(const SongFolder& songs)
    {
        store.WriteProfileString(settingsSection, "Language", "E");
        ui::MainDialogServices services = ui::standardServices(store, files, notifier);
        services.chooseFolder = [&songs](QWidget*, const std::string&) {
            return std::optional<std::string>(songs.folder.string());
        };
        services.askCleanOptions = [](QWidget*) { return std::optional(deleteEverything()); };
        // The log window shown and painted, then closed as at once as a user could.
        services.showLog = [](QWidget* parent, const std::vector<std::string>& lines) {
            ui::LogDialog log(lines, parent);
            log.show();
            QApplication::processEvents();
        };
        window = std::make_unique<ui::MainDialog>(services);
        window->show();
        QApplication::processEvents();
        window->controlAs<QPushButton>(ui::MainDialog::SelectFolderButton)->click();
        QApplication::processEvents();
    }

    void clean()
    {
        window->fileList()->SelectAllRows();
        window->controlAs<QPushButton>(ui::MainDialog::CleanButton)->click();
        QApplication::processEvents();
    }
};

void BM_WindowCleansFolder(benchmark::State& state)
{
    SongFolder songs;
    songs.reset();
    Window w(songs);
    double paintedMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        songs.reset();
        ProgressProbe probe;
        state.ResumeTiming();
        probe.clock.start();
        w.clean();
        if (w.window->fileList()->getSelectedCount() != 0 || !w.notifier.texts.empty())
            state.SkipWithError("not every song was cleaned");
        paintedMs += static_cast<double>(probe.paintedAtMs);
    }
    state.counters["progress painted ms"] = paintedMs / static_cast<double>(state.iterations());
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(songCount) * static_cast<double>(state.iterations()),
            benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WindowCleansFolder)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CoreCleansFolder(benchmark::State& state)
{
    SongFolder songs;
    songs.reset();
    NativeFileOps files;
    RecordingNotifier notifier;
    std::vector<MidiFileEntry> entries;
    std::vector<std::size_t> rows;
    for (int i = 0; i < songCount; ++i) {
        MidiFileEntry entry;
        entry.fullPath = songs.songPath(i).string();
        entry.fileName = songs.songPath(i).filename().string();
        entries.push_back(entry);
        rows.push_back(static_cast<std::size_t>(i));
    }
    for (auto _ : state) {
        state.PauseTiming();
        songs.reset();
        state.ResumeTiming();
        CleanRunResult result =
            cleanFiles(entries, rows, deleteEverything(), files, notifier, Language::English);
        if (result.finishedRows.size() != rows.size())
            state.SkipWithError("not every song was cleaned");
    }
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(songCount) * static_cast<double>(state.iterations()),
            benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CoreCleansFolder)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

/// Cancel pressed 300 ms after the progress window was painted; the time is until the window
/// is ready for input again.
void BM_WindowCancelsClean(benchmark::State& state)
{
    SongFolder songs;
    songs.reset();
    Window w(songs);
    double paintedMs = 0;
    double stopMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        songs.reset();
        ProgressProbe probe(300);
        state.ResumeTiming();
        probe.clock.start();
        w.clean();
        if (probe.cancelledAtMs < 0 || w.window->fileList()->getSelectedCount() == 0)
            state.SkipWithError("the run was not cancelled");
        paintedMs += static_cast<double>(probe.paintedAtMs);
        stopMs += static_cast<double>(probe.clock.elapsed() - probe.cancelledAtMs);
    }
    const auto rounds = static_cast<double>(state.iterations());
    state.counters["progress painted ms"] = paintedMs / rounds;
    state.counters["cancel to stop ms"] = stopMs / rounds;
}
BENCHMARK(BM_WindowCancelsClean)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
