#pragma once

#include "ui/controls/TemplateDialog.h"

#include <memory>
#include <string>

namespace sorvanel {
class FileOps;
class Notifier;
} // namespace sorvanel

namespace sorvanel::ui {

class ShellFolderTree;
class ShellNamespace;

/// The modal "Select Folder" dialog. Set `path` to the folder to show first, run the dialog
/// and, when it ends with OK, read the chosen folder from `path`. Only folders with a
/// file-system path can be chosen.
class FolderChooser : public TemplateDialog
{
    Q_OBJECT

public:
    enum ControlId { IdOk = 1, IdCancel = 2, IdTree = 1011 };

    /// Shows the local file system; context-menu failures go to `notifier`.
    explicit FolderChooser(Notifier& notifier, QWidget* parent = nullptr);
    /// Shows `shell` and looks into folders through `files`; both must outlive the dialog.
    FolderChooser(
        ShellNamespace& shell, FileOps& files, Notifier& notifier, QWidget* parent = nullptr);
    ~FolderChooser() override;

    /// The initial folder (may be empty) before the dialog runs; afterwards the file-system
    /// path of the selected item, empty for a virtual one. The file system's bytes, which need
    /// not be UTF-8.
    std::string path;

    ShellFolderTree* tree() const { return m_tree; }

    /// Whether `folder` has at least one sub-folder, hidden ones included.
    static bool HasSubfolders(FileOps& files, const std::string& folder);

protected:
    QWidget* createCustomControl(const ControlTemplate& row) override;
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void OnInitDialog();
    void onSelChanged();
    bool onDoubleClick();
    void OnOK();
    void enableOk();

    std::unique_ptr<ShellNamespace> m_ownedShell;
    std::unique_ptr<FileOps> m_ownedFiles;
    ShellNamespace& m_shell;
    FileOps& m_files;
    Notifier& m_notifier;
    ShellFolderTree* m_tree = nullptr;
    bool m_initialised = false;
};

} // namespace sorvanel::ui
