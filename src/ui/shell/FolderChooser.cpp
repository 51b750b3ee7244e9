#include "ui/shell/FolderChooser.h"

#include "platform/FileOps.h"
#include "settings/Texts.h"
#include "ui/shell/LocalShellNamespace.h"
#include "ui/shell/ShellFolderTree.h"

#include <QPushButton>

#include <exception>

namespace sorvanel::ui {

namespace {

const ControlTemplate chooserRows[] = {
    {FolderChooser::IdOk, ControlKind::DefaultPushButton, "OK", 82, 211, 50, 14},
    {FolderChooser::IdCancel, ControlKind::PushButton, "Cancel", 140, 211, 50, 14},
    {FolderChooser::IdTree, ControlKind::Custom, "", 4, 4, 265, 202},
};

LocalShellOptions localOptions()
{
    LocalShellOptions options = LocalShellOptions::system();
    options.german = UiLanguage() == Language::German;
    return options;
}

} // namespace

FolderChooser::FolderChooser(Notifier& notifier, QWidget* parent)
    : TemplateDialog(parent)
    , m_ownedShell(std::make_unique<LocalShellNamespace>(localOptions()))
    , m_ownedFiles(std::make_unique<NativeFileOps>())
    , m_shell(*m_ownedShell)
    , m_files(*m_ownedFiles)
    , m_notifier(notifier)
{
    build();
}

FolderChooser::FolderChooser(
    ShellNamespace& shell, FileOps& files, Notifier& notifier, QWidget* parent)
    : TemplateDialog(parent)
    , m_shell(shell)
    , m_files(files)
    , m_notifier(notifier)
{
    build();
}

FolderChooser::~FolderChooser()
{
    // The tree's items hold the namespace's folders: release them while the namespace is
    // still there, and before the tree's last signals could reach a half-destroyed dialog.
    delete m_tree;
}

void FolderChooser::build()
{
    buildFromTemplate({"Select Folder", 273, 230}, chooserRows);
    growWithWindow(IdTree, {IdOk, IdCancel});
    connect(controlAs<QPushButton>(IdOk), &QPushButton::clicked, this, &FolderChooser::OnOK);
    connect(controlAs<QPushButton>(IdCancel), &QPushButton::clicked, this, &QDialog::reject);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &FolderChooser::onSelChanged);
    m_tree->setDoubleClickHandler([this] { return onDoubleClick(); });
    // The tree first: it has the focus on opening, and Tab and assistive technology go on
    // to the buttons.
    m_tree->stackUnder(control(IdOk));
    setTabOrder(m_tree, control(IdOk));
    setTabOrder(control(IdOk), control(IdCancel));
    m_tree->setFocus();
}

QWidget* FolderChooser::createCustomControl(const ControlTemplate& row)
{
    if (row.id != IdTree)
        return TemplateDialog::createCustomControl(row);
    m_tree = new ShellFolderTree(m_shell, m_notifier, this);
    return m_tree;
}

void FolderChooser::showEvent(QShowEvent* event)
{
    // The dialog starts when it is first shown, before it reaches the screen.
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    TemplateDialog::showEvent(event);
}

void FolderChooser::OnInitDialog()
{
    if (UiLanguage() == Language::German) {
        setWindowTitle(QString::fromUtf8(Texts::SelectFolder.german));
        controlAs<QPushButton>(IdCancel)->setText(QString::fromUtf8(Texts::Cancel.german));
    }
    m_tree->setAccessibleName(windowTitle());
    controlAs<QPushButton>(IdOk)->setEnabled(false);
    m_tree->Fill(path);
}

void FolderChooser::enableOk()
{
    controlAs<QPushButton>(IdOk)->setEnabled(!path.empty());
}

void FolderChooser::onSelChanged()
{
    m_tree->GetSelectedPath(path);
    enableOk();
}

bool FolderChooser::onDoubleClick()
{
    bool closed = false;
    if (m_tree->GetSelectedPath(path) && !path.empty() && !HasSubfolders(m_files, path)) {
        OnOK();
        closed = true;
    }
    enableOk();
    return closed;
}

void FolderChooser::OnOK()
{
    if (path.empty())
        return;
    accept();
}

bool FolderChooser::HasSubfolders(FileOps& files, const std::string& folder)
{
    try {
        for (const FolderItem& item : files.listFolder(folder)) {
            if (item.isDirectory)
                return true;
        }
    } catch (const std::exception&) {
    }
    return false;
}

} // namespace sorvanel::ui
