#include "ui/shell/FolderChooser.h"

#include "SampleFolders.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Language.h"
#include "ui/shell/ShellFolderTree.h"

#include <QAccessible>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace sorvanel;
using namespace sorvanel::ui;
using sorvanel::ui::testing::SampleFolders;

namespace {

QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& label)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == label)
            return parent->child(i);
    }
    return nullptr;
}

/// The chooser over the sample folders, started with `initialPath` ("~" standing for the
/// sample home folder).
struct Fixture
{
    SampleFolders folders;
    LocalShellNamespace shell{folders.options()};
    NativeFileOps files;
    RecordingNotifier notifier;
    FolderChooser chooser{shell, files, notifier};

    explicit Fixture(const QString& initialPath = {})
    {
        QString start = initialPath;
        chooser.path = start.replace("~", folders.home).toStdString();
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    }
    ShellFolderTree& tree() { return *chooser.tree(); }
    QPushButton* ok() { return chooser.controlAs<QPushButton>(FolderChooser::IdOk); }
    /// The chosen path with "/" (the system's separators on Windows).
    QString path() const
    {
        return QDir::fromNativeSeparators(QString::fromStdString(chooser.path));
    }
    QTreeWidgetItem* homeItem(const QString& label)
    {
        QTreeWidgetItem* home = tree().topLevelItem(0);
        home->setExpanded(true);
        return child(home, label);
    }
    QPoint labelOf(QTreeWidgetItem* item)
    {
        tree().scrollToItem(item);
        QRect row = tree().visualItemRect(item);
        return QPoint(row.left() + 24, row.center().y());
    }
    /// The first click of a double click selects.
    void doubleClick(QTreeWidgetItem* item)
    {
        QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, labelOf(item));
        QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, labelOf(item));
    }
};

} // namespace

class FolderChooserTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { setUiLanguage(Language::English); }

    void startsAtTheInitialPath()
    {
        Fixture g("~/Music");
        QCOMPARE(g.path(), g.folders.home + "/Music");
        QVERIFY(g.ok()->isEnabled());
        QCOMPARE(g.tree().selectedItems().value(0)->text(0), QString("Music"));
        QCOMPARE(g.chooser.windowTitle(), QString("Select Folder"));
        QCOMPARE(
            g.chooser.controlAs<QPushButton>(FolderChooser::IdCancel)->text(), QString("Cancel"));
        // The tree is named after the window, has the focus, and Tab goes on to the buttons.
        QCOMPARE(QAccessible::queryAccessibleInterface(&g.tree())->text(QAccessible::Name),
            QString("Select Folder"));
        QCOMPARE(g.chooser.focusWidget(), &g.tree());
        auto nextStop = [](QWidget* widget) {
            do
                widget = widget->nextInFocusChain();
            while (!(widget->focusPolicy() & Qt::TabFocus));
            return widget;
        };
        QCOMPARE(nextStop(&g.tree()), g.ok());
        QCOMPARE(nextStop(g.ok()), g.chooser.control(FolderChooser::IdCancel));
    }

    void anEmptyOrUnknownPathSelectsTheFirstItem_data()
    {
        QTest::addColumn<QString>("initialPath");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown") << "/no/such/folder";
    }

    void anEmptyOrUnknownPathSelectsTheFirstItem()
    {
        QFETCH(QString, initialPath);
        Fixture f(initialPath);
        QCOMPARE(f.tree().selectedItems().value(0), f.tree().topLevelItem(0));
        QCOMPARE(f.path(), f.folders.home);
        QVERIFY(f.ok()->isEnabled());
    }

    void germanCaptions()
    {
        setUiLanguage(Language::German);
        Fixture f;
        QCOMPARE(f.chooser.windowTitle(), QString("Ordner wählen"));
        QCOMPARE(f.chooser.controlAs<QPushButton>(FolderChooser::IdCancel)->text(),
            QString("Abbrechen"));
        QCOMPARE(f.ok()->text(), QString("OK"));
        QCOMPARE(f.tree().accessibleName(), QString("Ordner wählen"));
    }

    void okFollowsTheSelection()
    {
        Fixture f;
        QTest::mouseClick(
            f.tree().viewport(), Qt::LeftButton, {}, f.labelOf(f.tree().topLevelItem(1)));
        QCOMPARE(f.path(), QString());
        QVERIFY(!f.ok()->isEnabled());
        // Enter does nothing while a virtual folder is selected.
        QTest::keyClick(&f.tree(), Qt::Key_Return);
        QVERIFY(f.chooser.isVisible());

        QTest::keyClick(&f.tree(), Qt::Key_Up);
        QCOMPARE(f.path(), f.folders.home);
        QVERIFY(f.ok()->isEnabled());

        // A right click on empty space takes the selection away.
        QTest::mouseClick(f.tree().viewport(), Qt::RightButton, {},
            QPoint(10, f.tree().viewport()->height() - 5));
        QCOMPARE(f.path(), QString());
        QVERIFY(!f.ok()->isEnabled());
    }

    void doubleClick_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<bool>("toggles"); // the tree's own action opens or closes the item
        QTest::newRow("no sub-folders") << "plain" << true << false;
        QTest::newRow("only hidden sub-folders") << "onlyHidden" << false << false;
        QTest::newRow("visible sub-folders") << "Music" << false << true;
        QTest::newRow("virtual folder") << "Computer" << false << true;
    }

    void doubleClick()
    {
        QFETCH(QString, label);
        QFETCH(bool, chosen);
        QFETCH(bool, toggles);
        Fixture f;
        QTreeWidgetItem* item = label == "Computer" ? f.tree().topLevelItem(1) : f.homeItem(label);
        QVERIFY(item);
        bool wasExpanded = item->isExpanded();
        f.doubleClick(item);
        QCOMPARE(f.chooser.result() == QDialog::Accepted, chosen);
        QCOMPARE(f.chooser.isVisible(), !chosen);
        if (chosen) {
            QCOMPARE(f.path(), f.folders.home + "/" + label);
        } else {
            QCOMPARE(item->isExpanded(), toggles ? !wasExpanded : wasExpanded);
            QCOMPARE(f.ok()->isEnabled(), label != "Computer");
        }
    }

    void doubleClickBesideAnItemChoosesNothing_data()
    {
        QTest::addColumn<bool>("onRow");
        QTest::newRow("empty space") << false;
        QTest::newRow("the row beside the label") << true;
    }

    void doubleClickBesideAnItemChoosesNothing()
    {
        QFETCH(bool, onRow);
        Fixture f("~/plain");
        QTreeWidgetItem* plain = f.tree().selectedItems().value(0);
        QCOMPARE(f.path(), f.folders.home + "/plain");
        QRect row = f.tree().visualItemRect(plain);
        QPoint where = onRow ? QPoint(f.tree().viewport()->width() - 3, row.center().y())
                             : QPoint(10, f.tree().viewport()->height() - 5);
        QVERIFY(!f.tree().itemAt(where) || f.tree().itemAt(where) == plain);
        QTest::mouseDClick(f.tree().viewport(), Qt::LeftButton, {}, where);
        QVERIFY(f.chooser.isVisible());
        QCOMPARE(f.chooser.result(), int(QDialog::Rejected));
    }

    void collapsingMovesAHiddenSelectionUp_data()
    {
        QTest::addColumn<QString>("collapsed"); // "" for home itself
        QTest::addColumn<QString>("selected");
        QTest::newRow("home") << ""
                              << "";
        QTest::newRow("Music") << "Music"
                               << "/Music";
        // A branch with sub-folders beside Music: the link loop, or where there are no links
        // "locked" (which only Windows lets everyone read).
        QTest::newRow("beside the selection")
            << (SampleFolders::withLinks ? "loop" : "locked") << "/Music/Rock";
    }

    void collapsingMovesAHiddenSelectionUp()
    {
        QFETCH(QString, collapsed);
        QFETCH(QString, selected);
        Fixture f("~/Music/Rock");
        QTreeWidgetItem* home = f.tree().topLevelItem(0);
        QTreeWidgetItem* item = collapsed.isEmpty() ? home : f.homeItem(collapsed);
        item->setExpanded(true);
        item->setExpanded(false);
        QCOMPARE(f.path(), f.folders.home + selected);
        QVERIFY(f.ok()->isEnabled());
        QTest::keyClick(&f.tree(), Qt::Key_Return);
        QCOMPARE(f.chooser.result(), int(QDialog::Accepted));
        QCOMPARE(f.path(), f.folders.home + selected);
    }

    void longNamesScrollSideways()
    {
        SampleFolders folders;
        QString name(150, QLatin1Char('n'));
        QVERIFY(QDir(folders.home + "/plain").mkdir(name));
        LocalShellNamespace shell{folders.options()};
        NativeFileOps files;
        RecordingNotifier notifier;
        FolderChooser chooser{shell, files, notifier};
        chooser.path = (folders.home + "/plain/" + name).toStdString();
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        ShellFolderTree& tree = *chooser.tree();
        QTreeWidgetItem* item = tree.selectedItems().value(0);
        QCOMPARE(item->text(0), name);
        QVERIFY(tree.columnWidth(0) > tree.viewport()->width());
        QVERIFY(tree.horizontalScrollBar()->maximum() > 0);
        QVERIFY(tree.visualItemRect(item).width() > tree.fontMetrics().horizontalAdvance(name));
    }

    void confirmAndCancel_data()
    {
        QTest::addColumn<int>("key"); // 0: click OK, 1: click Cancel
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::newRow("OK") << 0 << int(QDialog::Accepted);
        QTest::newRow("Cancel") << 1 << int(QDialog::Rejected);
    }

    void confirmAndCancel()
    {
        QFETCH(int, key);
        QFETCH(int, result);
        Fixture f(QDir::rootPath()); // "/", on Windows the system's drive
        f.chooser.setResult(-1);
        if (key == 0)
            QTest::mouseClick(f.ok(), Qt::LeftButton);
        else if (key == 1)
            QTest::mouseClick(
                f.chooser.controlAs<QPushButton>(FolderChooser::IdCancel), Qt::LeftButton);
        else
            QTest::keyClick(&f.tree(), Qt::Key(key));
        QCOMPARE(f.chooser.result(), result);
        QVERIFY(!f.chooser.isVisible());
        QCOMPARE(f.path(), QDir::rootPath());
    }

    void hasSubfoldersCountsHiddenOnes()
    {
        SampleFolders folders;
        NativeFileOps files;
        struct Row
        {
            const char* folder;
            bool expected;
        };
        const Row rows[] = {{"/home/onlyHidden", true}, {"/home/plain", false},
            {"/home/Music", true}, {"/home/missing", false}, {"/home/file.txt", false}};
        for (const Row& row : rows) {
            QString folder = folders.root + row.folder;
            QVERIFY2(FolderChooser::HasSubfolders(files, folder.toStdString()) == row.expected,
                row.folder);
        }
    }
};

QTEST_MAIN(FolderChooserTest)
#include "FolderChooserTest.moc"
