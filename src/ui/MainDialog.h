#pragma once

#include "cleaning/CleanOptions.h"
#include "cleaning/Restore.h"
#include "song/MidiFileEntry.h"
#include "ui/MainLayout.h"
#include "ui/NormalFrame.h"
#include "ui/controls/TemplateDialog.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QAction;
class QPoint;
class QPushButton;

namespace sorvanel {
class FileOps;
class Notifier;
class SettingsStore;
} // namespace sorvanel

namespace sorvanel::ui {

class ColumnListView;

/// What the main window works with and the windows it runs. Each function runs its window
/// modally and returns when it is closed; tests replace the ones they do not drive.
struct MainDialogServices
{
    SettingsStore* store = nullptr;
    FileOps* files = nullptr;
    /// Where the file layer, the reader and the window's own notices go.
    Notifier* notifier = nullptr;
    /// The language chooser; true when it ended with OK (it has stored the choice then).
    std::function<bool()> runLanguageChooser;
    /// The folder chooser, starting at `initial`; the chosen folder (UTF-8) on OK.
    std::function<std::optional<std::string>(QWidget* parent, const std::string& initial)>
        chooseFolder;
    /// The options dialog; the confirmed options on OK (it has saved them then).
    std::function<std::optional<CleanOptions>(QWidget* parent)> askCleanOptions;
    /// The options dialog captioned for a preview; when not set, `askCleanOptions` serves.
    std::function<std::optional<CleanOptions>(QWidget* parent)> askPreviewOptions;
    /// The log window over the lines of a run.
    std::function<void(QWidget* parent, const std::vector<std::string>& lines)> showLog;
    /// The log window of a preview, captioned as one; when not set, `showLog` serves.
    std::function<void(QWidget* parent, const std::vector<std::string>& lines)> showPreviewLog;
    /// Opens `document` (a name relative to `directory`) with the desktop's viewer; false when
    /// no program could be started for it.
    std::function<bool(const QString& directory, const QString& document)> openDocument;
    /// Asks `question` with Yes and No (No the default); true on Yes.
    std::function<bool(QWidget* parent, const QString& question)> confirm;
    /// How long a run goes on before its progress window opens.
    int progressDelayMs = 500;
};

// The program's own services are made by `standardServices` (app/StandardServices.h).

/// Opens a document through the desktop (`QDesktopServices`); false when that finds no
/// program to open it with.
bool openDocumentWithDesktop(const QString& directory, const QString& document);

/// Where the help documents are looked for, in this order and each folder once: the folder
/// the program was started in, the program's own folder, and the folder they are installed
/// in beside it.
QStringList documentFolders(const QString& startDirectory);

/// The program's only top-level window: the current folder, its song files with their titles,
/// and the commands to choose a folder, select files, clean them and leave. Building it settles
/// the interface language (asking the user the first time), captions the controls in it and
/// restores the placement of the last run; closing it in any way stores the placement and the
/// chosen folder.
class MainDialog : public TemplateDialog
{
    Q_OBJECT

public:
    enum ControlId {
        SelectFolderButton = 1000,
        FolderLabel = 1001,
        FileList = 1002,
        SelectAllButton = 1060,
        CleanButton = 1061,
        ManualButton = 1062,
        ExitButton = 1063,
        HelpButton = 1069,
        VersionLine = 1129,
    };

    /// Every service must be set; the store, files and notifier must outlive the window.
    explicit MainDialog(MainDialogServices services, QWidget* parent = nullptr);
    ~MainDialog() override;

    /// Runs the window; answers at once with `Rejected` when it could not be set up.
    int exec() override;
    /// Whether start-up failed (the window must not run then).
    bool startupFailed() const { return m_startupFailed; }

    ColumnListView* fileList() const { return m_fileList; }
    const std::vector<MidiFileEntry>& entries() const { return m_entries; }
    /// The current folder, UTF-8; empty until one was chosen.
    const std::string& folder() const { return m_folder; }
    /// Where the help documents are opened.
    const QString& startDirectory() const { return m_startDirectory; }
    const LayoutMetrics& layoutMetrics() const { return m_layoutMetrics; }

    /// The file list's text provider: the file name and the title (or "<no title found>") of
    /// entry `row` of the `MainDialog` given as `providerData`; nothing for a row outside the
    /// entries. Always true.
    static bool FileListText(
        int row, quintptr itemData, int columnCount, std::span<QString> texts, void* providerData);

    /// Enables "Select All" when there are entries and "Clean" when a row is selected.
    void UpdateButtons();
    /// Replaces the entries and rows with the song files of `folder`.
    void ScanFolder();

    /// What a saved log of the last run starts with: the folder, when the run ended and the
    /// options it applied (see `LogDialog::headingLines`).
    const QStringList& logHeading() const { return m_logHeading; }

    /// The file list's context-menu commands "Preview…" and "Restore Originals".
    QAction* previewAction() const { return m_previewAction; }
    QAction* restoreAction() const { return m_restoreAction; }

public slots:
    void accept() override;
    void reject() override;

    void OnSelectFolder();
    /// Lists the current folder again (F5); nothing without a folder.
    void onRereadFolder();
    void OnSelectAll();
    void OnClean();
    void OnHelpButton();
    void OnManual();
    void OnListItemChanged();
    /// Stores whether scans include sub-folders and lists the current folder again that way.
    void onIncludeSubfolders(bool include);
    /// Runs the options dialog and, on OK, the clean run without writing; shows its log.
    void onPreview();
    /// Gives the selected files that have a backup their former bytes back.
    void onRestoreOriginals();
    /// The file list's context menu at `position` (in the list's viewport).
    void onFileListMenu(const QPoint& position);

protected:
    QWidget* createCustomControl(const ControlTemplate& row) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnInitDialog();
    void OnOK();
    void OnCancel();
    void OnEnterKey() { }
    void OnSize();
    /// The window and the controls the layout moves, as they are now; `buttons` receives the
    /// bottom buttons in the order of the input's rectangles.
    MainLayoutInput layoutInput(std::vector<QWidget*>* buttons = nullptr) const;
    void restorePlacement();
    void showFolder();
    /// Makes `folder` the current folder, as a confirmed choice, and lists it.
    void openFolder(std::string folder);
    void setUpFileListCommands();
    /// F1 (help), F5 (read the folder again) and Ctrl+O (choose a folder), and the names and
    /// tool tips of controls without a caption.
    void setUpKeysAndNames();
    /// Whether scans include sub-folders (the stored choice).
    bool includesSubfolders() const;
    std::vector<std::size_t> selectedRows() const;
    /// "Backup of the original: …" for a row whose file has a backup, else empty.
    QString backupNote(int row) const;
    bool anySelectedHasBackup() const;
    /// Cleans (or with `preview` only checks) the selected files under the progress window,
    /// takes the finished ones out of the selection unless previewing; the log's lines.
    std::vector<std::string> runCleaning(const CleanOptions& options, bool preview);
    /// Restores `rows` with their progress shown, reads the restored songs' titles and takes
    /// the finished rows out of the selection.
    RestoreRunResult restoreRows(const std::vector<std::size_t>& rows, ChangedFiles changed);
    /// The song files of `folder`, read under the progress window; `cancelled` tells whether
    /// the user stopped the scan (the files read until then are the result).
    std::vector<MidiFileEntry> readFolder(bool& cancelled);
    /// Opens the first `document` found in the document folders, or says why it cannot.
    void openHelpDocument(const QString& document);

    MainDialogServices m_services;
    /// Made with the other controls of the table, so there from the constructor on.
    ColumnListView* m_fileList = nullptr;
    QAction* m_previewAction = nullptr;
    QAction* m_restoreAction = nullptr;
    QPushButton* m_helpButton = nullptr;
    std::string m_folder;
    QString m_startDirectory;
    std::vector<MidiFileEntry> m_entries;
    QStringList m_logHeading;
    bool m_useStoredFolder = true;
    LayoutMetrics m_layoutMetrics;
    bool m_layoutCaptured = false;
    bool m_startupFailed = false;
    /// The outer rectangle of the normal window, stored when it closes.
    NormalFrame* m_normalFrame = new NormalFrame(this);
    bool m_closing = false;
};

} // namespace sorvanel::ui
