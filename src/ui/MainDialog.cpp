#include "ui/MainDialog.h"

#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "platform/qt/WaitCursor.h"
#include "settings/Language.h"
#include "settings/SettingsStore.h"
#include "settings/Texts.h"
#include "ui/DropTarget.h"
#include "ui/TextDecoding.h"
#include "ui/WindowPlacement.h"
#include "ui/controls/ColumnListView.h"

#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <array>

namespace sorvanel::ui {

namespace {

constexpr std::string_view folderValueName = "Folder";
constexpr std::string_view includeSubfoldersValueName = "IncludeSubfolders";

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr DialogTemplate mainTemplate{
    Texts::MainWindowTitle.data(), 365, 244, "MS Sans Serif", 8, /*resizable=*/true};

constexpr std::array<ControlTemplate, 10> mainControls = {{
    {MainDialog::SelectFolderButton, ControlKind::PushButton, "Select Folder", 4, 23, 56, 14},
    {MainDialog::FolderLabel, ControlKind::Label, "", 65, 24, 297, 12, Sunken | VCenter},
    {MainDialog::FileList, ControlKind::Custom, nullptr, 4, 40, 359, 186},
    {MainDialog::SelectAllButton, ControlKind::PushButton, "Select All", 4, 229, 56, 14},
    {MainDialog::CleanButton, ControlKind::PushButton, "Clean", 63, 229, 56, 14},
    {MainDialog::ManualButton, ControlKind::PushButton, "Anleitung", 122, 229, 56, 14},
    {MainDialog::ExitButton, ControlKind::DefaultPushButton, "Exit", 181, 229, 56, 14},
    {MainDialog::HelpButton, ControlKind::IconButton, nullptr, 339, 1, 24, 20},
    {MainDialog::VersionLine, ControlKind::Label, "Sorvanel 1.0", 5, 1, 250, 8},
    {noId, ControlKind::Label, "Deletes SysEx and controller events from MIDI files", 5, 11, 250,
        8},
}};

constexpr int fileNameColumnWidth = 250;
constexpr int titleColumnWidth = 285;

} // namespace

void openDocumentWithDesktop(const QString& directory, const QString& document)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(directory).filePath(document)));
}

MainDialog::MainDialog(MainDialogServices services, QWidget* parent)
    : TemplateDialog(parent)
    , m_services(std::move(services))
{
    // Minimize and maximize boxes; the window stands on its own in the task bar.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    buildFromTemplate(mainTemplate, mainControls);
    setAcceptDrops(true);
    m_helpButton = controlAs<QPushButton>(HelpButton);

    connect(controlAs<QPushButton>(SelectFolderButton), &QPushButton::clicked, this,
        &MainDialog::OnSelectFolder);
    connect(controlAs<QPushButton>(SelectAllButton), &QPushButton::clicked, this,
        &MainDialog::OnSelectAll);
    connect(controlAs<QPushButton>(CleanButton), &QPushButton::clicked, this, &MainDialog::OnClean);
    connect(
        controlAs<QPushButton>(ManualButton), &QPushButton::clicked, this, &MainDialog::OnManual);
    connect(controlAs<QPushButton>(ExitButton), &QPushButton::clicked, this, &MainDialog::reject);
    if (m_helpButton)
        connect(m_helpButton, &QPushButton::clicked, this, &MainDialog::OnHelpButton);
    if (m_fileList) {
        connect(m_fileList, &ColumnListView::itemChanged, this, &MainDialog::OnListItemChanged);
    }

    OnInitDialog();
}

MainDialog::~MainDialog() = default;

QWidget* MainDialog::createCustomControl(const ControlTemplate& row)
{
    if (row.id != FileList)
        return TemplateDialog::createCustomControl(row);
    m_fileList = new ColumnListView(this);
    return m_fileList;
}

void MainDialog::OnInitDialog()
{
    QIcon appIcon(QStringLiteral(":/sorvanel/sorvanel.png"));
    setWindowIcon(appIcon);

    // Enter must press nothing here, neither "Exit" nor the focused button; the space bar
    // still presses the focused button.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        enter->setContext(Qt::WindowShortcut);
        connect(enter, &QShortcut::activated, this, &MainDialog::OnEnterKey);
    }

    m_startDirectory = QDir::currentPath();

    SettleUiLanguage(*m_services.store, m_services.runLanguageChooser);
    const Language language = UiLanguage();

    if (m_helpButton) {
        m_helpButton->setIcon(QIcon(QStringLiteral(":/sorvanel/help.png")));
        m_helpButton->setIconSize(m_helpButton->size() - QSize(8, 6));
    }

    if (m_fileList) {
        m_fileList->Configure(2, &MainDialog::FileListText, this, 4, true, true);
        if (m_fileList->InsertColumn(
                0, qs(Texts::FilenameColumn.pick(language)), Qt::AlignLeft, fileNameColumnWidth)
                < 0
            || m_fileList->InsertColumn(
                   1, qs(Texts::TitleColumn.pick(language)), Qt::AlignLeft, titleColumnWidth)
                < 0)
            m_startupFailed = true;
        // Column 1 takes the rest of the list's width whenever that changes, also when a
        // vertical scroll bar comes or goes, so that one never brings a horizontal one along.
        m_fileList->header()->setStretchLastSection(true);
    }

    QWidget* selectAll = control(SelectAllButton);
    if (m_fileList && selectAll) {
        QWidget* label = control(FolderLabel);
        m_layoutMetrics = captureLayoutMetrics(rect(), m_fileList->geometry(),
            label ? std::optional<QRect>(label->geometry()) : std::nullopt, selectAll->geometry());
        m_layoutCaptured = true;
    } else {
        m_startupFailed = true;
    }

    if (language == Language::German) {
        controlAs<QPushButton>(SelectFolderButton)->setText(qs(Texts::SelectFolder.german));
        controlAs<QPushButton>(SelectAllButton)->setText(qs(Texts::SelectAll.german));
        controlAs<QPushButton>(CleanButton)->setText(qs(Texts::Clean.german));
        controlAs<QPushButton>(ExitButton)->setText(qs(Texts::Exit.german));
    } else {
        control(ManualButton)->hide();
    }

    setUpFileListCommands();
    restorePlacement();
    UpdateButtons();
    showFolder();
    if (m_fileList)
        m_fileList->setFocus();
}

void MainDialog::restorePlacement()
{
    std::optional<WindowPlacement> placement = storedPlacement(*m_services.store);
    if (!placement)
        return;
    // A rectangle on no screen at all (a monitor that is gone) would leave the window out of
    // reach; it then opens where it would without a stored placement.
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableVirtualGeometry().intersects(placement->normal);
    if (!onScreen)
        return;
    // The stored rectangle includes the frame. Some platforms know the frame before the window
    // is shown; others only once it is shown: then take the rectangle as the inside for now and
    // fit it as soon as the frame is there and the window shows its normal size.
    setGeometry(placement->normal);
    create();
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull())
        m_restoredFrame = placement->normal;
    else
        setGeometry(placement->normal.marginsRemoved(frame));
    if (placement->showCommand == ShowMaximized)
        setWindowState(Qt::WindowMaximized);
}

void MainDialog::showEvent(QShowEvent* event)
{
    TemplateDialog::showEvent(event);
    if (m_restoredFrame)
        QTimer::singleShot(0, this, &MainDialog::fitRestoredFrame);
}

void MainDialog::changeEvent(QEvent* event)
{
    TemplateDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_restoredFrame)
        QTimer::singleShot(0, this, &MainDialog::fitRestoredFrame);
}

void MainDialog::fitRestoredFrame()
{
    if (!m_restoredFrame || !isVisible() || windowState() != Qt::WindowNoState)
        return;
    QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (margins.isNull())
        return;
    setGeometry(m_restoredFrame->marginsRemoved(margins));
    m_restoredFrame.reset();
}

int MainDialog::exec()
{
    if (m_startupFailed)
        return Rejected;
    return TemplateDialog::exec();
}

void MainDialog::showFolder()
{
    if (auto* label = controlAs<QLabel>(FolderLabel))
        label->setText(decodeStoredText(m_folder));
}

bool MainDialog::FileListText(
    int row, quintptr, int columnCount, std::span<QString> texts, void* providerData)
{
    auto* dialog = static_cast<MainDialog*>(providerData);
    if (!dialog || row < 0 || static_cast<std::size_t>(row) >= dialog->m_entries.size())
        return true;
    const MidiFileEntry& entry = dialog->m_entries[static_cast<std::size_t>(row)];
    std::size_t count = std::min(texts.size(), static_cast<std::size_t>(std::max(columnCount, 0)));
    if (count > 0)
        texts[0] = decodeStoredText(entry.fileName);
    if (count > 1)
        texts[1] = entry.title.empty() ? qs(Texts::NoTitleFound) : decodeStoredText(entry.title);
    return true;
}

void MainDialog::UpdateButtons()
{
    if (QWidget* selectAll = control(SelectAllButton))
        selectAll->setEnabled(!m_entries.empty());
    if (QWidget* clean = control(CleanButton))
        clean->setEnabled(m_fileList && m_fileList->GetSelectedCount() > 0);
}

void MainDialog::OnListItemChanged()
{
    UpdateButtons();
}

void MainDialog::ScanFolder()
{
    m_entries.clear();
    if (m_fileList)
        m_fileList->DeleteAllItems();
    UpdateButtons();
    if (m_folder.empty())
        return;
    {
        WaitCursor busy;
        bool cancelled = false;
        std::vector<MidiFileEntry> found = readFolder(cancelled);
        m_entries.reserve(std::max<std::size_t>(found.size(), 1000));
        for (MidiFileEntry& entry : found)
            m_entries.push_back(std::move(entry));
        if (m_fileList)
            for (std::size_t i = 0; i < m_entries.size(); ++i)
                m_fileList->InsertItem(static_cast<int>(i), 0);
        if (m_entries.empty() && !cancelled)
            m_services.notifier->notify(Texts::NoMidiFilesFound.pick());
    }
    UpdateButtons();
}

void MainDialog::OnSelectFolder()
{
    std::string initial = m_useStoredFolder
        ? m_services.store->GetProfileString(settingsSection, folderValueName, "")
        : m_folder;
    if (std::optional<std::string> chosen = m_services.chooseFolder(this, initial))
        openFolder(std::move(*chosen));
    if (m_fileList)
        m_fileList->setFocus();
}

void MainDialog::openFolder(std::string folder)
{
    m_folder = std::move(folder);
    m_useStoredFolder = false;
    ScanFolder();
    showFolder();
}

namespace {

std::optional<DropChoice> dropChoiceOf(const QDropEvent* event)
{
    std::vector<DroppedPath> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        QString local = url.isLocalFile() ? url.toLocalFile() : QString();
        paths.push_back({local.toStdString(), !local.isEmpty() && QFileInfo(local).isDir()});
    }
    return chooseDrop(paths);
}

} // namespace

void MainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void MainDialog::dragMoveEvent(QDragMoveEvent* event)
{
    // Refused drags keep the "no" cursor.
    if (dropChoiceOf(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainDialog::dropEvent(QDropEvent* event)
{
    std::optional<DropChoice> choice = dropChoiceOf(event);
    if (!choice) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    openFolder(std::move(choice->folder));
    if (m_fileList) {
        for (std::size_t row = 0; row < m_entries.size(); ++row)
            if (std::ranges::count(choice->fileNames, m_entries[row].fileName) > 0)
                m_fileList->selectionModel()->select(
                    m_fileList->model()->index(static_cast<int>(row), 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_fileList->setFocus();
    }
    activateWindow();
}

bool MainDialog::includesSubfolders() const
{
    return m_services.store->GetProfileInt(settingsSection, includeSubfoldersValueName, 0) != 0;
}

void MainDialog::OnIncludeSubfolders(bool include)
{
    m_services.store->WriteProfileInt(settingsSection, includeSubfoldersValueName, include ? 1 : 0);
    if (!m_folder.empty())
        ScanFolder();
    if (m_fileList)
        m_fileList->setFocus();
}

void MainDialog::OnSelectAll()
{
    if (!m_fileList)
        return;
    if (m_fileList->GetSelectedCount() == m_fileList->GetItemCount())
        m_fileList->DeselectAllRows();
    else
        m_fileList->SelectAllRows();
    m_fileList->setFocus();
}

void MainDialog::OnClean()
{
    // Shift+Clean shows what a clean would do without writing.
    if (QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        OnPreview();
        return;
    }
    std::optional<CleanOptions> options = m_services.askCleanOptions(this);
    if (options)
        m_services.showLog(this, runCleaning(*options, false));
    UpdateButtons();
    if (m_fileList)
        m_fileList->setFocus();
}

void MainDialog::OnHelpButton()
{
    m_services.openDocument(m_startDirectory, qs(Texts::HelpDocument.pick()));
}

void MainDialog::OnManual()
{
    m_services.openDocument(m_startDirectory, qs(Texts::ManualDocument));
}

void MainDialog::accept()
{
    OnOK();
}

void MainDialog::reject()
{
    OnCancel();
}

void MainDialog::OnCancel()
{
    OnOK();
}

void MainDialog::OnOK()
{
    if (m_closing)
        return;
    m_closing = true;
    SettingsSession session(*m_services.store);
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    if (windowHandle())
        normal = normal.marginsAdded(windowHandle()->frameMargins());
    storePlacement(*m_services.store, {normal, showCommandFor(windowState())});
    if (!m_folder.empty())
        m_services.store->WriteProfileString(settingsSection, folderValueName, m_folder);
    TemplateDialog::accept();
    m_closing = false;
}

void MainDialog::resizeEvent(QResizeEvent* event)
{
    TemplateDialog::resizeEvent(event);
    OnSize();
}

void MainDialog::OnSize()
{
    if (!m_fileList || !m_layoutCaptured)
        return;
    MainLayoutInput input;
    input.window = rect();
    input.list = m_fileList->geometry();
    QWidget* label = control(FolderLabel);
    if (label)
        input.label = label->geometry();
    if (QWidget* version = control(VersionLine))
        input.versionLine = version->geometry();
    if (m_helpButton)
        input.helpButton = m_helpButton->geometry();
    std::vector<QWidget*> buttons;
    for (int id : {SelectAllButton, CleanButton, ManualButton, ExitButton}) {
        if (QWidget* button = control(id)) {
            buttons.push_back(button);
            input.buttons.push_back(button->geometry());
        }
    }

    MainLayout layout = layoutMainWindow(m_layoutMetrics, input);
    if (!layout.moved)
        return;
    m_fileList->setGeometry(layout.list);
    if (label && layout.label)
        label->setGeometry(*layout.label);
    if (m_helpButton && layout.helpButton)
        m_helpButton->setGeometry(*layout.helpButton);
    for (std::size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setGeometry(layout.buttons[i]);
}

} // namespace sorvanel::ui
