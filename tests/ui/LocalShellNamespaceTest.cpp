#include "ui/shell/LocalShellNamespace.h"

#include "SampleFolders.h"
#include "platform/Notifier.h"
#include "platform/qt/TextDecoding.h"
#include "ui/shell/ShellFolderTree.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace sorvanel;
using namespace sorvanel::ui;
using sorvanel::ui::testing::SampleFolders;

namespace {

QStringList labels(QTreeWidgetItem* parent)
{
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& label)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == label)
            return parent->child(i);
    }
    return nullptr;
}

QString selectedPath(ShellFolderTree& tree)
{
    std::string path;
    if (!tree.GetSelectedPath(path))
        return "<failed>";
    return QDir::fromNativeSeparators(QString::fromStdString(path));
}

/// The tree over the sample folders, filled.
struct Fixture
{
    SampleFolders folders;
    LocalShellNamespace shell;
    RecordingNotifier notifier;
    ShellFolderTree tree{shell, notifier};

    explicit Fixture(bool german = false)
        : shell(folders.options(german))
    {
        tree.Fill("");
    }
    QTreeWidgetItem* home() { return tree.topLevelItem(0); }
    QTreeWidgetItem* expandedHome()
    {
        home()->setExpanded(true);
        return home();
    }
};

} // namespace

class LocalShellNamespaceTest : public QObject
{
    Q_OBJECT

private slots:
    void desktopHoldsHomeAndComputer_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<QStringList>("names"); // home, computer, root
        QTest::newRow("English") << false << QStringList{"Home", "Computer", "File System (/)"};
        QTest::newRow("German") << true
                                << QStringList{QString::fromUtf8("Persönlicher Ordner"), "Rechner",
                                       "Dateisystem (/)"};
    }

    void desktopHoldsHomeAndComputer()
    {
        QFETCH(bool, german);
        QFETCH(QStringList, names);
        Fixture f(german);
        QCOMPARE(f.tree.topLevelItemCount(), 2);
        QCOMPARE(f.tree.topLevelItem(0)->text(0), names[0]);
        QCOMPARE(f.tree.topLevelItem(1)->text(0), names[1]);
        QCOMPARE(selectedPath(f.tree), f.folders.home);

        QTreeWidgetItem* computer = f.tree.topLevelItem(1);
        computer->setExpanded(true);
        // The root first, then each volume once; on Windows the drives are the roots.
        QCOMPARE(computer->childCount(), 2);
#ifdef _WIN32
        QVERIFY(computer->child(0)->text(0).contains(QDir::toNativeSeparators(QDir::rootPath())));
        QVERIFY(computer->child(1)->text(0).contains(
            QDir::toNativeSeparators(f.folders.root + "/vol")));
#else
        QCOMPARE(computer->child(0)->text(0), names[2]);
        QVERIFY(computer->child(1)->text(0).contains(f.folders.root + "/vol"));
#endif
        f.tree.setCurrentItem(computer);
        QCOMPARE(selectedPath(f.tree), QString()); // virtual: no path
        QVERIFY(!computer->icon(0).isNull());
        QVERIFY(!computer->child(0)->icon(0).isNull());
    }

    void foldersShowVisibleSubfoldersOnly()
    {
        Fixture f;
        QTreeWidgetItem* home = f.expandedHome();
        QStringList expected{"linkToPlain", "locked", "loop", "Music", "onlyHidden", "plain"};
        if (!SampleFolders::withLinks)
            expected = QStringList{"locked", "Music", "onlyHidden", "plain"};
        QCOMPARE(labels(home), expected);
        struct Row
        {
            const char* label;
            bool button;
            bool link = false;
        };
        // Hidden sub-folders give no expand button; an unreadable folder gives one only to
        // those who may read it.
        const Row rows[] = {{"Music", true}, {"loop", true, true}, {"onlyHidden", false},
            {"plain", false}, {"linkToPlain", false, true},
            {"locked", !f.folders.lockedIsUnreadable()}};
        for (const Row& row : rows) {
            if (row.link && !SampleFolders::withLinks)
                continue;
            QCOMPARE(
                child(home, row.label)->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator,
                row.button);
        }
    }

    void walksToPaths_data()
    {
        QTest::addColumn<QString>("path"); // below the sample folders' root
        QTest::addColumn<QString>("selected");
        QTest::newRow("exact") << "/home/Music/Rock"
                               << "/home/Music/Rock";
        QTest::newRow("letter case differs") << "/home/music/ROCK"
                                             << "/home/Music/Rock";
        QTest::newRow("ends in a separator") << "/home/Music/"
                                             << "/home";
        if (SampleFolders::withLinks)
            QTest::newRow("through a link loop") << "/home/loop/loop/Music"
                                                 << "/home/loop/loop/Music";
        QTest::newRow("hidden") << "/home/.config"
                                << "/home";
        QTest::newRow("outside home, through the computer") << "/other/deep/x"
                                                            << "/other/deep/x";
        QTest::newRow("a volume") << "/vol"
                                  << "/vol";
    }

    void walksToPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, selected);
        Fixture f;
        f.tree.SelectPath((f.folders.root + path).toStdString());
        QCOMPARE(selectedPath(f.tree), f.folders.root + selected);
    }

    void foldersNamedInOtherEncodingsCanBeChosen()
    {
        // "Café" from an old disk in Latin-1 beside the same name in UTF-8: two folders that
        // read alike, each reached and chosen by its own bytes.
#ifdef _WIN32
        QSKIP("Names are UTF-16 on Windows: none is in another encoding");
#else
        Fixture f;
        const std::string other = f.folders.root.toStdString() + "/other/";
        const std::string latin1 = other + "Caf\xe9";
        const std::string utf8 = other + "Caf\xc3\xa9";
        const std::string made[] = {latin1, latin1 + "/Live", utf8};
        for (const std::string& path : made)
            QCOMPARE(::mkdir(path.c_str(), 0700), 0);
        // The temporary folder's own clean-up cannot name these.
        auto removeMade = qScopeGuard([&made] {
            for (auto path = std::rbegin(made); path != std::rend(made); ++path)
                ::rmdir(path->c_str());
        });

        QVERIFY(f.tree.SelectPath(latin1 + "/Live"));
        std::string chosen;
        QVERIFY(f.tree.GetSelectedPath(chosen));
        QCOMPARE(chosen, latin1 + "/Live");
        QTreeWidgetItem* parent = f.tree.selectedItems().value(0)->parent();
        QCOMPARE(parent->text(0), QString::fromUtf8("Café"));
        QCOMPARE(labels(parent->parent()), QStringList({"Café", "Café", "deep"}));

        QVERIFY(f.tree.SelectPath(utf8));
        QVERIFY(f.tree.GetSelectedPath(chosen));
        QCOMPARE(chosen, utf8);
        // Letter case is ignored as the names read.
        QVERIFY(f.tree.SelectPath(other + "CAF\xc9/live"));
        QVERIFY(f.tree.GetSelectedPath(chosen));
        QCOMPARE(chosen, latin1 + "/Live");
#endif
    }

    void walksToTheFileSystemRoot()
    {
        Fixture f;
        const QString root = QDir::rootPath(); // on Windows the system's drive
        QVERIFY(f.tree.SelectPath(filePathFromQt(root)));
        QCOMPARE(selectedPath(f.tree), root);
#ifndef _WIN32
        QCOMPARE(f.tree.selectedItems().value(0)->text(0), QString("File System (/)"));
#endif
    }

    void unreadableOrVanishedFoldersOpenEmpty()
    {
        Fixture f;
        QTreeWidgetItem* home = f.expandedHome();
        QTreeWidgetItem* locked = child(home, "locked");
        locked->setExpanded(true);
        QCOMPARE(locked->childCount(), f.folders.lockedIsUnreadable() ? 0 : 1);
        f.tree.setCurrentItem(locked);
        QCOMPARE(selectedPath(f.tree), f.folders.home + "/locked");

        QTreeWidgetItem* plain = child(home, "plain");
        QVERIFY(QDir(f.folders.home).rmdir("plain"));
        plain->setExpanded(true);
        QCOMPARE(plain->childCount(), 0);
        f.tree.setCurrentItem(plain);
        QCOMPARE(selectedPath(f.tree), QString("<failed>"));
        QVERIFY(!f.tree.SelectPath((f.folders.home + "/plain").toStdString()));
    }

    void contextMenuOpensAndCopies()
    {
        SampleFolders folders;
        LocalShellNamespace shell(folders.options());
        std::shared_ptr<ShellFolder> desktop = shell.desktop();
        std::optional<std::vector<IdList>> top = desktop->enumFolders();
        QVERIFY(top && top->size() == 2);
        std::shared_ptr<ShellFolder> home = desktop->bindToFolder((*top)[0].get());
        QVERIFY(home);
        std::optional<std::vector<IdList>> items = home->enumFolders();
        QVERIFY(items);
        const IdList* music = nullptr;
        for (const IdList& id : *items) {
            if (home->displayNameOf(id.get(), ShellNameKind::Normal) == "Music")
                music = &id;
        }
        QVERIFY(music);

        std::unique_ptr<ShellContextMenu> menu;
        QCOMPARE(home->contextMenuOf(music->get(), menu), shellOk);
        std::vector<ShellMenuEntry> entries;
        QCOMPARE(menu->queryContextMenu(entries, 1, 32767), shellOk);
        QCOMPARE(entries.size(), std::size_t(2));
        QCOMPARE(entries[0].command, 1);
        QCOMPARE(entries[1].command, 2);

        QCOMPARE(menu->invokeCommand(0), shellOk);
        QCOMPARE(folders.urlsOpened, QStringList{folders.home + "/Music"});
        folders.openSucceeds = false;
        QCOMPARE(menu->invokeCommand(0), shellFail);
        QCOMPARE(menu->failureReason(), "No program is installed that can open folders.");
        QCOMPARE(menu->invokeCommand(1), shellOk);
        QCOMPARE(menu->failureReason(), "");
        QCOMPARE(QDir::fromNativeSeparators(QGuiApplication::clipboard()->text()),
            folders.home + "/Music");
        QCOMPARE(menu->invokeCommand(2), shellInvalidArgument);

        // The computer has no commands and no path.
        std::unique_ptr<ShellContextMenu> computerMenu;
        QCOMPARE(desktop->contextMenuOf((*top)[1].get(), computerMenu), shellOk);
        entries.clear();
        QCOMPARE(computerMenu->queryContextMenu(entries, 1, 32767), shellOk);
        QVERIFY(entries.empty());
        QVERIFY(!shell.pathFromIdList((*top)[1].get()));
        // An item of another folder is unknown here.
        QCOMPARE(desktop->attributesOf(music->get(), AttrFolder), 0u);
        QVERIFY(!desktop->bindToFolder(music->get()));
    }

    void iconsShareTheirIndex()
    {
        SampleFolders folders;
        LocalShellNamespace shell(folders.options());
        std::shared_ptr<ShellFolder> desktop = shell.desktop();
        std::optional<std::vector<IdList>> top = desktop->enumFolders();
        QVERIFY(top);
        ShellIcon home = shell.iconOf((*top)[0].get(), false);
        ShellIcon homeOpen = shell.iconOf((*top)[0].get(), true);
        ShellIcon computer = shell.iconOf((*top)[1].get(), false);
        ShellIcon computerOpen = shell.iconOf((*top)[1].get(), true);
        QVERIFY(!home.icon.isNull());
        QVERIFY(!computer.icon.isNull());
        QVERIFY(home.systemIndex != homeOpen.systemIndex);
        QVERIFY(home.systemIndex != computer.systemIndex);
        QCOMPARE(computer.systemIndex, computerOpen.systemIndex);
        QCOMPARE(shell.iconOf((*top)[0].get(), false).systemIndex, home.systemIndex);
    }
};

QTEST_MAIN(LocalShellNamespaceTest)
#include "LocalShellNamespaceTest.moc"
