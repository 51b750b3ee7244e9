// The main window's long runs (folder scan, clean, preview, restoring originals) under the
// progress window, and the file list's context menu and backup tool tips.
#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "cleaning/Restore.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "platform/qt/TextDecoding.h"
#include "platform/qt/WaitCursor.h"
#include "settings/Texts.h"
#include "song/SongTitle.h"
#include "ui/LogDialog.h"
#include "ui/MainDialog.h"
#include "ui/ProgressRun.h"
#include "ui/controls/ColumnListView.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>

#include <algorithm>
#include <cstdio>

namespace sorvanel::ui {

namespace {

} // namespace

void MainDialog::setUpFileListCommands()
{
    m_previewAction = new QAction(toQString(Texts::PreviewCommand.pick()), this);
    m_restoreAction = new QAction(toQString(Texts::RestoreOriginalsCommand.pick()), this);
    connect(m_previewAction, &QAction::triggered, this, &MainDialog::onPreview);
    connect(m_restoreAction, &QAction::triggered, this, &MainDialog::onRestoreOriginals);
    m_fileList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_fileList, &QWidget::customContextMenuRequested, this, &MainDialog::onFileListMenu);
    // A file with a backup says so when the pointer rests on its row (other rows show a cut
    // cell's whole text), and to assistive technology as the row's description.
    m_fileList->rowToolTip = [this](int row) { return backupNote(row); };
    m_fileList->setRowDescriber([this](int row) { return backupNote(row); });
}

QString MainDialog::backupNote(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_entries.size())
        return {};
    const MidiFileEntry& entry = m_entries[static_cast<std::size_t>(row)];
    if (!hasBackup(*m_services.files, entry.fullPath))
        return {};
    char text[1024];
    std::snprintf(text, sizeof text, std::string(Texts::BackupToolTip.pick()).c_str(),
        backupPathOf(entry.fileName).c_str());
    return decodeStoredText(text);
}

std::vector<std::size_t> MainDialog::selectedRows() const
{
    int selected = m_fileList ? m_fileList->getSelectedCount() : 0;
    if (selected <= 0)
        return {};
    std::vector<int> indices(static_cast<std::size_t>(selected));
    indices.resize(static_cast<std::size_t>(m_fileList->GetSelectedRows(indices)));
    return std::vector<std::size_t>(indices.begin(), indices.end());
}

bool MainDialog::anySelectedHasBackup() const
{
    for (std::size_t row : selectedRows())
        if (row < m_entries.size() && hasBackup(*m_services.files, m_entries[row].fullPath))
            return true;
    return false;
}

void MainDialog::onFileListMenu(const QPoint& position)
{
    bool anySelected = m_fileList->getSelectedCount() > 0;
    m_previewAction->setEnabled(anySelected);
    m_restoreAction->setEnabled(anySelected && anySelectedHasBackup());
    QMenu menu(this);
    menu.addAction(m_previewAction);
    menu.addAction(m_restoreAction);
    menu.addSeparator();
    QAction* include = menu.addAction(toQString(Texts::IncludeSubfolders.pick()));
    include->setCheckable(true);
    include->setChecked(includesSubfolders());
    connect(include, &QAction::toggled, this, &MainDialog::onIncludeSubfolders);
    menu.exec(m_fileList->viewport()->mapToGlobal(position));
}

std::vector<MidiFileEntry> MainDialog::readFolder(bool& cancelled)
{
    std::vector<MidiFileEntry> found;
    ProgressRun run(this, *m_services.notifier, m_services.progressDelayMs);
    run.run([&](ProgressRun::Work& work) {
        found = scanFolder(m_folder, *m_services.files, work.notifier, includesSubfolders(),
            work.progress(Texts::ProgressReading, true));
    });
    cancelled = run.cancelled();
    return found;
}

std::vector<std::string> MainDialog::runCleaning(const CleanOptions& options, bool preview)
{
    std::vector<std::size_t> rows = selectedRows();
    CleanRunResult result;
    {
        WaitCursor busy;
        ProgressRun run(this, *m_services.notifier, m_services.progressDelayMs);
        // The files done leave the selection as the run goes on, all those of one refresh of
        // the progress at once: one change of the selection per refresh, not per file.
        std::size_t deselected = 0;
        if (!preview)
            run.advanced = [&](std::size_t index) {
                const std::size_t done = std::min(index, rows.size());
                if (done > deselected)
                    m_fileList->deselectRows(
                        std::span(rows).subspan(deselected, done - deselected));
                deselected = std::max(deselected, done);
            };
        run.run([&](ProgressRun::Work& work) {
            result = cleanFiles(m_entries, rows, options, *m_services.files, work.notifier,
                UiLanguage(), preview,
                work.progress(preview ? Texts::ProgressChecking : Texts::ProgressCleaning, true));
        });
        if (!preview)
            m_fileList->deselectRows(result.finishedRows);
    }
    m_logHeading = LogDialog::headingLines(m_folder, &options, QDateTime::currentDateTime());
    m_fileList->viewport()->update();
    return std::move(result.logLines);
}

void MainDialog::onPreview()
{
    // The options dialog stores what the user confirms; nothing else changes.
    auto& ask =
        m_services.askPreviewOptions ? m_services.askPreviewOptions : m_services.askCleanOptions;
    if (std::optional<CleanOptions> options = ask(this)) {
        std::vector<std::string> lines = runCleaning(*options, true);
        (m_services.showPreviewLog ? m_services.showPreviewLog : m_services.showLog)(this, lines);
    }
    UpdateButtons();
    m_fileList->setFocus();
}

RestoreRunResult MainDialog::restoreRows(const std::vector<std::size_t>& rows, ChangedFiles changed)
{
    RestoreRunResult result;
    std::vector<std::pair<std::size_t, std::string>> titles;
    {
        WaitCursor busy;
        ProgressRun run(this, *m_services.notifier, m_services.progressDelayMs);
        run.run([&](ProgressRun::Work& work) {
            result = restoreFiles(m_entries, rows, *m_services.files, work.notifier, UiLanguage(),
                work.progress(Texts::ProgressRestoring, true), changed);
            // The restored bytes may carry another title. This part is not stopped: a file
            // that got its former bytes back must show their title.
            RunProgress reading = work.progress(Texts::ProgressReading, false);
            SongTitleReader titleReader;
            for (std::size_t i = 0; i < result.restoredRows.size(); ++i) {
                MidiFileEntry entry = m_entries[result.restoredRows[i]];
                reading(i, result.restoredRows.size(), entry.fileName);
                titleReader.read(entry, *m_services.files, work.notifier);
                titles.emplace_back(result.restoredRows[i], std::move(entry.title));
            }
        });
        for (auto& [row, title] : titles)
            m_entries[row].title = std::move(title);
        m_fileList->deselectRows(result.finishedRows);
    }
    return result;
}

void MainDialog::onRestoreOriginals()
{
    std::vector<std::size_t> rows = selectedRows();
    // Restoring replaces the songs and removes their backups: asked first.
    const auto restorable = std::ranges::count_if(rows, [this](std::size_t row) {
        return row < m_entries.size() && hasBackup(*m_services.files, m_entries[row].fullPath);
    });
    if (restorable > 0 && m_services.confirm) {
        const QString question = restorable == 1
            ? toQString(Texts::RestoreQuestionOne.pick())
            : toQString(Texts::RestoreQuestionMany.pick()).arg(restorable);
        if (!m_services.confirm(this, question)) {
            m_fileList->setFocus();
            return;
        }
    }
    RestoreRunResult result = restoreRows(rows, ChangedFiles::Keep);
    // Songs saved after their clean were passed over, each named; their present bytes go to
    // the trash only when the user says so.
    const auto changed = static_cast<qsizetype>(result.changedRows.size());
    if (changed > 0 && !result.stoppedEarly && !result.cancelled && m_services.confirm
        && m_services.confirm(this,
            changed == 1 ? toQString(Texts::RestoreChangedQuestionOne.pick())
                         : toQString(Texts::RestoreChangedQuestionMany.pick()).arg(changed))) {
        RestoreRunResult anyway = restoreRows(result.changedRows, ChangedFiles::ToTrash);
        if (!anyway.restoredRows.empty()) {
            // One log: the first run's heading, or this run's where the first restored none.
            if (result.restoredRows.empty())
                result.logLines = std::move(anyway.logLines);
            else
                for (std::size_t row : anyway.restoredRows)
                    result.logLines.push_back(m_entries[row].fileName);
        }
        result.restoredRows.insert(
            result.restoredRows.end(), anyway.restoredRows.begin(), anyway.restoredRows.end());
    }
    m_logHeading = LogDialog::headingLines(m_folder, nullptr, QDateTime::currentDateTime());
    m_fileList->viewport()->update();
    m_services.showLog(this, result.logLines);
    UpdateButtons();
    m_fileList->setFocus();
}

} // namespace sorvanel::ui
