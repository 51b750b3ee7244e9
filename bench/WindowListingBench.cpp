// The main window listing a folder of small songs with their titles, as a user who picks the
// folder sees it: from the click on the folder button until every row is in the list.
#include "ByteWriting.h"
#include "app/StandardServices.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"
#include "ui/MainDialog.h"
#include "ui/controls/ColumnListView.h"

#include <QApplication>
#include <QPushButton>

#include <benchmark/benchmark.h>

using namespace sorvanel;
using namespace bench;

namespace {

/// A format-1 song of three tracks of about 1,200 events each (17 KB), titled `title`.
Bytes titledSong(const std::string& title)
{
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, 96};
    for (int t = 0; t < 3; ++t) {
        Bytes body;
        if (t == 0) {
            body.insert(body.end(), {0x00, 0xFF, 0x03});
            putVarLen(body, static_cast<std::uint32_t>(title.size()));
            body.insert(body.end(), title.begin(), title.end());
        }
        for (std::uint8_t i = 0; i < 200; ++i) {
            const auto channel = static_cast<std::uint8_t>(t);
            body.insert(body.end(), {0x00, static_cast<std::uint8_t>(0x90 | channel), 60, 100});
            body.insert(body.end(), {0x10, static_cast<std::uint8_t>(0xB0 | channel), 7, i});
            body.insert(body.end(), {0x00, static_cast<std::uint8_t>(0xE0 | channel), 0, 64});
            body.insert(body.end(), {0x00, static_cast<std::uint8_t>(0xC0 | channel), 5});
            body.insert(body.end(), {0x10, 62, 90}); // running status
            body.insert(body.end(), {0x10, static_cast<std::uint8_t>(0x80 | channel), 60, 0});
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        putBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

void BM_WindowListsFolder(benchmark::State& state)
{
    const auto fileCount = static_cast<std::size_t>(state.range(0));
    auto folder = benchFolder("listing");
    for (std::size_t i = 0; i < fileCount; ++i)
        writeFile(folder / ("song" + std::to_string(i) + ".mid"),
            titledSong("Song " + std::to_string(i)));

    MemorySettingsStore store;
    store.WriteProfileString(settingsSection, "Language", "E");
    NativeFileOps files;
    RecordingNotifier notifier;
    ui::MainDialogServices services = ui::standardServices(store, files, notifier);
    services.chooseFolder = [&](QWidget*, const std::string&) {
        return std::optional<std::string>(folder.string());
    };
    ui::MainDialog window(services);
    window.show();
    QApplication::processEvents();
    auto* button = window.controlAs<QPushButton>(ui::MainDialog::SelectFolderButton);
    for (auto _ : state) {
        button->click();
        QApplication::processEvents(); // the rows painted
        if (window.fileList()->getItemCount() != static_cast<int>(fileCount))
            state.SkipWithError("the list does not show every file");
    }
    state.counters["files/s"] = benchmark::Counter(
        static_cast<double>(fileCount * static_cast<std::size_t>(state.iterations())),
        benchmark::Counter::kIsRate);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WindowListsFolder)->Arg(500)->Arg(5'000)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
