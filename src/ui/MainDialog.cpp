#include "ui/MainDialog.h"

#include "cleaning/CleanRun.h"
#include "cleaning/FileList.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "platform/qt/MessageBoxes.h"
#include "platform/qt/TextDecoding.h"
#include "platform/qt/WaitCursor.h"
#include "settings/Language.h"
#include "settings/SettingsStore.h"
#include "settings/Texts.h"
#include "ui/DropTarget.h"
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
#include <QUrl>

#include <algorithm>
#include <array>

namespace sorvanel::ui {

namespace {

constexpr std::string_view folderValueName = "Folder";
constexpr std::string_view includeSubfoldersValueName = "IncludeSubfolders";

constexpr DialogTemplate mainTemplate{
    Texts::MainWindowTitle.data(), 365, 244, "MS Sans Serif", 8, /*resizable=*/true};

constexpr std::array<ControlTemplate, 10> mainControls = {{
    {MainDialog::SelectFolderButton, ControlKind::PushButton, "Select Folder", 4, 23, 56, 14},
    {MainDialog::FolderLabel, ControlKind::Label, "", 65, 24, 297, 12, Sunken | VCenter},
    {MainDialog::FileList, ControlKind::Custom, nullptr, 4, 40, 359, 186},
    {MainDialog::SelectAllButton, ControlKind::PushButton, "Select All", 4, 229, 56, 14},
    {MainDialog::CleanButton, ControlKind::PushButton, "Clean", 63, 229, 56, 14},
    {MainDialog::ManualButton, ControlKind::PushButton, Texts::ManualButton.data(), 122, 229, 56,
        14},
    {MainDialog::ExitButton, ControlKind::DefaultPushButton, "Exit", 181, 229, 56, 14},
    {MainDialog::HelpButton, ControlKind::IconButton, nullptr, 339, 1, 24, 20},
    {MainDialog::VersionLine, ControlKind::Label, "Sorvanel 1.0", 5, 1, 250, 8},
    {noId, ControlKind::Label, "Deletes SysEx and controller events from MIDI files", 5, 11, 250,
        8},
}};

constexpr int fileNameColumnWidth = 250;
constexpr int titleColumnWidth = 285;

} // namespace

bool openDocumentWithDesktop(const QString& directory, const QString& document)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(directory).filePath(document)));
}

QStringList documentFolders(const QString& startDirectory)
{
    const QString program = QCoreApplication::applicationDirPath();
    QStringList folders;
    for (const QString& folder : {startDirectory, program,
             QDir(program).filePath(QStringLiteral(SORVANEL_DOCUMENTS_FROM_PROGRAM))}) {
        QString clean = QDir::cleanPath(folder);
        if (!folders.contains(clean))
            folders.append(clean);
    }
    return folders;
}

MainDialog::MainDialog(MainDialogServices services, QWidget* parent)
    : TemplateDialog(parent)
    , m_services(std::move(services))
{
    // Minimize and maximize boxes; the window stands on its own in the task bar.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    buildFromTemplate(mainTemplate, mainControls);
    Q_ASSERT(m_fileList);
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
    connect(m_fileList, &ColumnListView::itemChanged, this, &MainDialog::OnListItemChanged);

    // A box from a start-up step (the list's set-up, say) already has the window as owner.
    setApplicationMainWindow(this);
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

    settleUiLanguage(*m_services.store, m_services.runLanguageChooser);
    const Language language = UiLanguage();

    if (m_helpButton) {
        m_helpButton->setIcon(QIcon(QStringLiteral(":/sorvanel/help.png")));
        m_helpButton->setIconSize(m_helpButton->size() - QSize(8, 6));
    }

    m_fileList->Configure(2, &MainDialog::FileListText, this, 4, true, true);
    if (m_fileList->insertColumn(
            0, toQString(Texts::FilenameColumn.pick(language)), Qt::AlignLeft, fileNameColumnWidth)
            < 0
        || m_fileList->insertColumn(
               1, toQString(Texts::TitleColumn.pick(language)), Qt::AlignLeft, titleColumnWidth)
            < 0)
        m_startupFailed = true;
    // Column 1 takes the rest of the list's width whenever that changes, also when a
    // vertical scroll bar comes or goes, so that one never brings a horizontal one along.
    m_fileList->header()->setStretchLastSection(true);
    // Songs of sub-folders are named by their path from the folder.
    m_fileList->setPathColumn(0);

    QWidget* selectAll = control(SelectAllButton);
    if (selectAll) {
        QWidget* label = control(FolderLabel);
        m_layoutMetrics = captureLayoutMetrics(rect(), m_fileList->geometry(),
            label ? std::optional<QRect>(label->geometry()) : std::nullopt, selectAll->geometry());
        m_layoutCaptured = true;
        // Room for the heading and three rows of the list.
        const int listHeight = m_fileList->header()->sizeHint().height()
            + 3 * (m_fileList->fontMetrics().height() + 3) + 2 * m_fileList->frameWidth();
        setMinimumSize(minimumWindowSize(m_layoutMetrics, layoutInput(), listHeight));
    } else {
        m_startupFailed = true;
    }

    if (language == Language::German) {
        controlAs<QPushButton>(SelectFolderButton)->setText(toQString(Texts::SelectFolder.german));
        controlAs<QPushButton>(SelectAllButton)->setText(toQString(Texts::SelectAll.german));
        controlAs<QPushButton>(CleanButton)->setText(toQString(Texts::Clean.german));
        controlAs<QPushButton>(ExitButton)->setText(toQString(Texts::Exit.german));
    } else {
        control(ManualButton)->hide();
    }

    setUpFileListCommands();
    setUpKeysAndNames();
    restorePlacement();
    UpdateButtons();
    showFolder();
    m_fileList->setFocus();
}

void MainDialog::setUpKeysAndNames()
{
    auto bind = [this](const QKeySequence& key, void (MainDialog::*command)()) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, command);
    };
    const QKeySequence help(Qt::Key_F1);
    const QKeySequence chooseFolder(Qt::CTRL | Qt::Key_O);
    bind(help, &MainDialog::OnHelpButton);
    bind(QKeySequence(Qt::Key_F5), &MainDialog::onRereadFolder);
    bind(chooseFolder, &MainDialog::OnSelectFolder);

    // The captions stay as they are; tool tips tell the keys.
    if (auto* select = controlAs<QPushButton>(SelectFolderButton))
        select->setToolTip(QStringLiteral("%1 (%2)").arg(
            select->text(), chooseFolder.toString(QKeySequence::NativeText)));
    if (m_helpButton) {
        m_helpButton->setAccessibleName(toQString(Texts::HelpButtonName.pick()));
        m_helpButton->setToolTip(toQString(Texts::HelpButtonToolTip.pick())
                                     .arg(help.toString(QKeySequence::NativeText)));
    }
    m_fileList->setAccessibleName(toQString(Texts::FileListName.pick()));
}

void MainDialog::restorePlacement()
{
    std::optional<WindowPlacement> placement = storedPlacement(*m_services.store);
    if (!placement)
        return;
    // A rectangle on no screen at all (a monitor that is gone) would leave the window out of
    // reach; it then opens where it would without a stored placement. One whose title bar is
    // off the screens is moved back under the hand.
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    std::optional<QRect> frame = reachableFrame(placement->normal, screens);
    if (!frame)
        return;
    // The stored rectangle includes the frame. A window moved before it exists is placed by
    // its frame's corner; its inside is as large as the whole rectangle until the frame is
    // known, which under a window manager is only once the window is on the screen.
    move(frame->topLeft());
    resize(frame->size());
    create();
    m_normalFrame->restore(*frame);
    if (placement->showCommand == ShowMaximized)
        setWindowState(Qt::WindowMaximized);
}

void MainDialog::showEvent(QShowEvent* event)
{
    TemplateDialog::showEvent(event);
    m_normalFrame->follow();
}

void MainDialog::moveEvent(QMoveEvent* event)
{
    TemplateDialog::moveEvent(event);
    m_normalFrame->follow(true);
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
        texts[1] =
            entry.title.empty() ? toQString(Texts::NoTitleFound) : decodeStoredText(entry.title);
    return true;
}

void MainDialog::UpdateButtons()
{
    if (QWidget* selectAll = control(SelectAllButton))
        selectAll->setEnabled(!m_entries.empty());
    if (QWidget* clean = control(CleanButton))
        clean->setEnabled(m_fileList && m_fileList->getSelectedCount() > 0);
}

void MainDialog::OnListItemChanged()
{
    UpdateButtons();
}

void MainDialog::ScanFolder()
{
    m_entries.clear();
    m_fileList->deleteAllItems();
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
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            m_fileList->insertItem(static_cast<int>(i), 0);
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
    if (!event->possibleActions().testFlag(Qt::CopyAction))
        return std::nullopt;
    std::vector<DroppedPath> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        QString local = url.isLocalFile() ? url.toLocalFile() : QString();
        paths.push_back({filePathFromQt(local), !local.isEmpty() && QFileInfo(local).isDir()});
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
    // Refused drags keep the "no" cursor. Accepted ones are copies whatever the source
    // proposes: a source told of a move may delete its files.
    if (dropChoiceOf(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainDialog::dropEvent(QDropEvent* event)
{
    std::optional<DropChoice> choice = dropChoiceOf(event);
    if (!choice) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    openFolder(std::move(choice->folder));
    for (std::size_t row = 0; row < m_entries.size(); ++row)
        if (std::ranges::count(choice->fileNames, m_entries[row].fileName) > 0)
            m_fileList->selectionModel()->select(
                m_fileList->model()->index(static_cast<int>(row), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_fileList->setFocus();
    activateWindow();
}

bool MainDialog::includesSubfolders() const
{
    return m_services.store->GetProfileInt(settingsSection, includeSubfoldersValueName, 0) != 0;
}

void MainDialog::onIncludeSubfolders(bool include)
{
    m_services.store->WriteProfileInt(settingsSection, includeSubfoldersValueName, include ? 1 : 0);
    if (!m_folder.empty())
        ScanFolder();
    m_fileList->setFocus();
}

void MainDialog::onRereadFolder()
{
    if (!m_folder.empty())
        ScanFolder();
    m_fileList->setFocus();
}

void MainDialog::OnSelectAll()
{
    if (m_fileList->getSelectedCount() == m_fileList->getItemCount())
        m_fileList->DeselectAllRows();
    else
        m_fileList->SelectAllRows();
    m_fileList->setFocus();
}

void MainDialog::OnClean()
{
    // Shift+Clean shows what a clean would do without writing.
    if (QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        onPreview();
        return;
    }
    std::optional<CleanOptions> options = m_services.askCleanOptions(this);
    if (options)
        m_services.showLog(this, runCleaning(*options, false));
    UpdateButtons();
    m_fileList->setFocus();
}

void MainDialog::OnHelpButton()
{
    openHelpDocument(toQString(Texts::HelpDocument.pick()));
}

void MainDialog::OnManual()
{
    openHelpDocument(toQString(Texts::ManualDocument));
}

void MainDialog::openHelpDocument(const QString& document)
{
    const QStringList folders = documentFolders(m_startDirectory);
    auto found = std::find_if(folders.begin(), folders.end(),
        [&document](const QString& folder) { return QDir(folder).exists(document); });
    // Folders named as the system writes them (backslashes on Windows).
    QString message;
    if (found == folders.end())
        message = toQString(Texts::DocumentNotFound.pick())
                      .arg(document, QDir::toNativeSeparators(folders.join(QLatin1Char('\n'))));
    else if (!m_services.openDocument(*found, document))
        message = toQString(Texts::DocumentNotOpened.pick())
                      .arg(document, QDir::toNativeSeparators(QDir(*found).filePath(document)));
    if (!message.isEmpty())
        m_services.notifier->notify(message.toStdString());
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
    m_normalFrame->follow();
    storePlacement(*m_services.store, {m_normalFrame->outer(), showCommandFor(windowState())});
    if (!m_folder.empty())
        m_services.store->WriteProfileString(settingsSection, folderValueName, m_folder);
    TemplateDialog::accept();
    m_closing = false;
}

void MainDialog::resizeEvent(QResizeEvent* event)
{
    TemplateDialog::resizeEvent(event);
    OnSize();
    m_normalFrame->follow(true);
}

void MainDialog::OnSize()
{
    if (!m_layoutCaptured)
        return;
    std::vector<QWidget*> buttons;
    MainLayoutInput input = layoutInput(&buttons);
    QWidget* label = control(FolderLabel);
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

MainLayoutInput MainDialog::layoutInput(std::vector<QWidget*>* buttons) const
{
    MainLayoutInput input;
    input.window = rect();
    input.list = m_fileList->geometry();
    if (QWidget* label = control(FolderLabel))
        input.label = label->geometry();
    if (QWidget* version = control(VersionLine))
        input.versionLine = version->geometry();
    if (m_helpButton)
        input.helpButton = m_helpButton->geometry();
    for (int id : {SelectAllButton, CleanButton, ManualButton, ExitButton}) {
        if (QWidget* button = control(id)) {
            if (buttons)
                buttons->push_back(button);
            input.buttons.push_back(button->geometry());
        }
    }
    return input;
}

} // namespace sorvanel::ui
