#include "ui/shell/ShellFolderTree.h"

#include "FakeShellNamespace.h"
#include "platform/Notifier.h"
#include "ui/shell/PathMatch.h"

#include <QTest>

#include <memory>

using namespace sorvanel;
using namespace sorvanel::ui;
using sorvanel::ui::testing::FakeShellNamespace;

namespace {

/// Desktop
///   Computer (virtual)          Root "/" (data/a/b/c, data/Music, data/music, data/.hidden,
///                               empty), Drive C "C:/" (docs)
///   Home "/home/u" (docs)
///   Network (virtual)           server "//server" (share "//server/share" (dir)),
///                               other "//other" (s "//other/s")
struct Sample
{
    FakeShellNamespace shell;
    int computer, root, data, a, b, c, music, empty, network, server, other;

    Sample()
    {
        computer = shell.addVirtual(0, "Computer", "::computer");
        root = shell.add(computer, {"Root", "/"});
        data = shell.addFolder(root, "/data");
        a = shell.addFolder(data, "/data/a");
        b = shell.addFolder(a, "/data/a/b");
        c = shell.addFolder(b, "/data/a/b/c");
        music = shell.addFolder(data, "/data/music");
        shell.addFolder(data, "/data/Music");
        shell.add(data, {".hidden", "/data/.hidden", true, true});
        empty = shell.addFolder(root, "/empty");
        int drive = shell.add(computer, {"Drive C", "C:/"});
        shell.addFolder(drive, "C:/docs");
        int home = shell.add(0, {"Home", "/home/u"});
        shell.addFolder(home, "/home/u/docs");
        network = shell.addVirtual(0, "Network", "::network");
        server = shell.addVirtual(network, "server", "//server");
        int share = shell.addFolder(server, "//server/share");
        shell.addFolder(share, "//server/share/dir");
        other = shell.addVirtual(network, "other", "//other");
        shell.addFolder(other, "//other/s");
    }
};

/// Records the menus it is asked to show and answers with a preset command.
class MenuTree : public ShellFolderTree
{
public:
    using ShellFolderTree::ShellFolderTree;

    int answer = 0;
    std::vector<std::vector<ShellMenuEntry>> shown;

protected:
    int trackPopupMenu(const std::vector<ShellMenuEntry>& menu, QPoint) override
    {
        shown.push_back(menu);
        return answer;
    }
};

QStringList labels(QTreeWidgetItem* parent)
{
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* findItem(QTreeWidget& tree, const QStringList& labelPath)
{
    QTreeWidgetItem* item = tree.invisibleRootItem();
    for (const QString& label : labelPath) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i) {
            if (item->child(i)->text(0) == label)
                next = item->child(i);
        }
        if (!next)
            return nullptr;
        item = next;
    }
    return item;
}

std::string selectedPath(ShellFolderTree& tree)
{
    std::string path = "<none>";
    if (!tree.GetSelectedPath(path))
        return "<failed>";
    return path;
}

} // namespace

class ShellFolderTreeTest : public QObject
{
    Q_OBJECT

private slots:
    void fillShowsTheDesktopsFoldersSortedAndReadsNothingElse()
    {
        Sample sample;
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.Fill("");
        QCOMPARE(labels(tree.invisibleRootItem()), QStringList({"Computer", "Home", "Network"}));
        QCOMPARE(tree.selectedItems().value(0), tree.topLevelItem(0));
        QCOMPARE(selectedPath(tree), std::string()); // a virtual folder: selectable, no path
        QCOMPARE(sample.shell.entry(sample.computer).enumCalls, 0);
        for (int i = 0; i < tree.topLevelItemCount(); ++i) {
            QCOMPARE(tree.topLevelItem(i)->childCount(), 0);
            QCOMPARE(tree.topLevelItem(i)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        }
    }

    void childrenAreReadAtTheFirstExpansionOnly()
    {
        Sample sample;
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.Fill("");
        QTreeWidgetItem* computer = findItem(tree, {"Computer"});
        computer->setExpanded(true);
        QCOMPARE(labels(computer), QStringList({"Drive C", "Root"}));
        computer->setExpanded(false);
        computer->setExpanded(true);
        QCOMPARE(sample.shell.entry(sample.computer).enumCalls, 1);
        QCOMPARE(sample.shell.entry(sample.root).enumCalls, 0);

        QTreeWidgetItem* root = findItem(tree, {"Computer", "Root"});
        root->setExpanded(true);
        QTreeWidgetItem* data = findItem(tree, {"Computer", "Root", "data"});
        QTreeWidgetItem* empty = findItem(tree, {"Computer", "Root", "empty"});
        QCOMPARE(data->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        QCOMPARE(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
        data->setExpanded(true);
        QCOMPARE(labels(data), QStringList({"Music", "a", "music"})); // no hidden folder
    }

    void selectPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("selected");
        QTest::newRow("deep") << "/data/a/b/c" << true << "/data/a/b/c";
        QTest::newRow("root") << "/" << true << "/";
        QTest::newRow("top-level file-system folder") << "/home/u/docs" << true << "/home/u/docs";
        QTest::newRow("case differs") << "/DATA/A/B" << true << "/data/a/b";
        QTest::newRow("exact case first") << "/data/music" << true << "/data/music";
        QTest::newRow("first case-insensitive match") << "/data/MUSIC" << true << "/data/Music";
        QTest::newRow("drive letter") << "C:" << true << "C:/";
        QTest::newRow("network share") << "//server/share/dir" << true << "//server/share/dir";
        QTest::newRow("network case") << "//SERVER/share" << true << "//server/share";
        QTest::newRow("ends in a separator") << "/data/a/" << false << "";
        QTest::newRow("hidden") << "/data/.hidden" << false << "";
        QTest::newRow("missing") << "/data/zzz" << false << "";
        QTest::newRow("top-level item itself") << "/home/u" << false << "";
    }

    void selectPath()
    {
        QFETCH(QString, path);
        QFETCH(bool, found);
        QFETCH(QString, selected);
        Sample sample;
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.Fill("");
        QCOMPARE(tree.SelectPath(path.toStdString()), found);
        QCOMPARE(selectedPath(tree), selected.toStdString());
        if (found) {
            QTreeWidgetItem* item = tree.selectedItems().value(0);
            for (QTreeWidgetItem* up = item; up; up = up->parent())
                QVERIFY(up->isExpanded() || up->childCount() == 0);
        } else {
            QCOMPARE(tree.selectedItems().value(0), tree.topLevelItem(0));
            for (int i = 0; i < tree.topLevelItemCount(); ++i)
                QVERIFY(!tree.topLevelItem(i)->isExpanded());
        }
        QVERIFY(tree.updatesEnabled());
    }

    // How a folder's path is matched against the one looked for, below what the tree shows:
    // stored bytes are compared as the text each component reads as.
    void matchPrefix_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("whole");
        const int none = static_cast<int>(PrefixMatch::None);
        const int exact = static_cast<int>(PrefixMatch::Exact);
        const int caseOnly = static_cast<int>(PrefixMatch::IgnoringCase);
        QTest::newRow("same bytes")
            << QByteArray("/data/a") << QByteArray("/data/a") << exact << true;
        QTest::newRow("folder above")
            << QByteArray("/data/a/b") << QByteArray("/data/a") << exact << false;
        QTest::newRow("case differs")
            << QByteArray("/DATA/a") << QByteArray("/data/A") << caseOnly << true;
        QTest::newRow("old encoding against UTF-8, case differs")
            << QByteArray("/caf\xC9/x") << QByteArray("/Caf\xC3\xA9") << caseOnly << false;
        QTest::newRow("each component decoded on its own")
            << QByteArray("/\xC3\xA9/t\xE9") << QByteArray("/\xC3\xA9/t\xC3\xA9") << caseOnly
            << true;
        QTest::newRow("other folder")
            << QByteArray("/data/b") << QByteArray("/data/a") << none << false;
        QTest::newRow("longer than the path")
            << QByteArray("/data") << QByteArray("/data/a") << none << false;
    }

    void matchPrefix()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, prefix);
        QFETCH(int, kind);
        QFETCH(bool, whole);
        Match match = ui::matchPrefix(path.toStdString(), prefix.toStdString());
        QCOMPARE(static_cast<int>(match.kind), kind);
        QCOMPARE(match.whole, whole);
    }

    void walkReadsOnlyWhatLiesOnItsWay()
    {
        Sample sample;
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.Fill("//server/share/dir");
        QCOMPARE(selectedPath(tree), std::string("//server/share/dir"));
        // Virtual folders are searched, network resources off the path are not.
        QCOMPARE(sample.shell.entry(sample.network).enumCalls, 1);
        QCOMPARE(sample.shell.entry(sample.other).enumCalls, 0);
        QCOMPARE(sample.shell.entry(sample.a).enumCalls, 0);
    }

    void failedWalkCollapsesWhatItOpenedAndKeepsWhatItRead()
    {
        Sample sample;
        sample.shell.entry(sample.b).enumFails = true;
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.Fill("");
        QTreeWidgetItem* network = findItem(tree, {"Network"});
        network->setExpanded(true); // opened by the user: stays open

        QVERIFY(!tree.SelectPath("/data/a/b/c"));
        QTreeWidgetItem* computer = findItem(tree, {"Computer"});
        QTreeWidgetItem* data = findItem(tree, {"Computer", "Root", "data"});
        QVERIFY(data);
        QVERIFY(!computer->isExpanded());
        QVERIFY(!data->isExpanded());
        QVERIFY(network->isExpanded());
        QCOMPARE(findItem(tree, {"Computer", "Root", "data", "a", "b"})->childCount(), 0);
        QCOMPARE(tree.selectedItems().value(0), computer);

        // Read once: a second walk does not read again.
        QVERIFY(!tree.SelectPath("/data/a/b/c"));
        QCOMPARE(sample.shell.entry(sample.data).enumCalls, 1);
    }

    void itemsThatCannotBeBoundAreSkippedAndGiveNoPath()
    {
        Sample sample;
        sample.shell.entry(sample.music).bindFails = true;
        sample.shell.entry(sample.c).noPath = true;
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.Fill("/data/music");
        // The walk skips the unbindable folder and takes the other spelling.
        QCOMPARE(selectedPath(tree), std::string("/data/Music"));
        tree.setCurrentItem(findItem(tree, {"Computer", "Root", "data", "music"}));
        QCOMPARE(selectedPath(tree), std::string("<failed>"));
        QVERIFY(!tree.SelectPath("/data/a/b/c"));
    }

    void unreadableLabelStopsTheFolder()
    {
        Sample sample;
        sample.shell.entry(sample.data).children.clear();
        sample.shell.addFolder(sample.data, "/data/x");
        sample.shell.entry(sample.shell.addFolder(sample.data, "/data/y")).labelFails = true;
        sample.shell.addFolder(sample.data, "/data/z");
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.Fill("/data");
        QCOMPARE(labels(findItem(tree, {"Computer", "Root", "data"})), QStringList({"x"}));
    }

    void imagesAreSharedAndStopAtAHundred()
    {
        FakeShellNamespace shell;
        const int folders = 105;
        for (int i = 0; i < folders; ++i) {
            FakeShellNamespace::Entry entry{QString::asprintf("f%03d", i).toStdString(), "/f"};
            entry.iconIndex = i;
            shell.add(0, entry);
        }
        shell.add(0, {"g000", "/g", true, false, 0}); // shares f000's icon
        shell.add(0, {"h", "/h", true, false, -1}); // no icon at all
        RecordingNotifier notifier;
        ShellFolderTree tree(shell, notifier);
        tree.Fill("");
        QCOMPARE(tree.imageCount(), ShellFolderTree::maxImages);
        auto imageOf = [&](int row) {
            return tree.topLevelItem(row)->data(0, ShellFolderTree::ImageRole).toInt();
        };
        QCOMPARE(imageOf(0), 0);
        QCOMPARE(imageOf(99), 99);
        QCOMPARE(imageOf(100), -1); // the 101st distinct icon
        QCOMPARE(imageOf(104), -1);
        QCOMPARE(imageOf(105), 0);
        QCOMPARE(imageOf(106), -1);
        QVERIFY(tree.topLevelItem(106)->icon(0).isNull());
        QCOMPARE(tree.topLevelItem(0)->data(0, ShellFolderTree::SelectedImageRole).toInt(), 0);
    }

    void everyNodeAndFolderIsReleased()
    {
        QCOMPARE(ShellNode::liveCount(), 0);
        {
            Sample sample;
            RecordingNotifier notifier;
            auto tree = std::make_unique<ShellFolderTree>(sample.shell, notifier);
            tree->Fill("/data/a/b/c");
            QVERIFY(ShellNode::liveCount() > 10);
            tree->Fill("//server/share");
            tree->Fill("/home/u/docs");
            tree.reset();
            QCOMPARE(ShellNode::liveCount(), 0);
            QCOMPARE(FakeShellNamespace::liveFolders(), 0);
        }
    }

    void hitTestTellsIconLabelAndRowApart()
    {
        Sample sample;
        RecordingNotifier notifier;
        ShellFolderTree tree(sample.shell, notifier);
        tree.resize(300, 200);
        tree.Fill("");
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QRect row = tree.visualItemRect(tree.topLevelItem(0));
        QList<ShellFolderTree::HitPart> parts;
        for (int x = row.left(); x < row.right(); ++x) {
            ShellFolderTree::HitPart part = tree.hitTest(QPoint(x, row.center().y()));
            if (parts.isEmpty() || parts.last() != part)
                parts << part;
        }
        using Part = ShellFolderTree::HitPart;
        QVERIFY(parts.contains(Part::Icon));
        QVERIFY(parts.contains(Part::Label));
        QCOMPARE(parts.last(), Part::RowElsewhere);
        QVERIFY(parts.indexOf(Part::Icon) < parts.indexOf(Part::Label));
        QCOMPARE(tree.hitTest(QPoint(row.center().x(), 190)), Part::Nowhere);
    }

    void rightClick_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("answer");
        QTest::addColumn<unsigned>("menuResult");
        QTest::addColumn<unsigned>("invokeResult");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("menus");
        QTest::addColumn<QString>("invoked");
        QTest::addColumn<QString>("message");
        QTest::newRow("label, second command") << "label" << 2 << 0u << 0u << true << 1 << "Home:1"
                                               << "";
        QTest::newRow("icon, nothing chosen") << "icon" << 0 << 0u << 0u << true << 1 << ""
                                              << "";
        QTest::newRow("row outside icon and label") << "row" << 1 << 0u << 0u << true << 0 << ""
                                                    << "";
        QTest::newRow("empty space") << "empty" << 1 << 0u << 0u << false << 0 << ""
                                     << "";
        QTest::newRow("no menu") << "label" << 1 << 0x80004002u << 0u << true << 0 << ""
                                 << "GetUIObjectOf failed! hr=80004002";
        QTest::newRow("command fails") << "label" << 1 << 0u << 0x80070005u << true << 1 << "Home:0"
                                       << "InvokeCommand failed. hr=80070005";
        QTest::newRow("command fails, reason known")
            << "label" << 1 << 0u << 0x80004005u << true << 1 << "Home:0"
            << "InvokeCommand failed. hr=80004005\nNo program for folders.";
    }

    void rightClick()
    {
        QFETCH(QString, where);
        QFETCH(int, answer);
        QFETCH(unsigned, menuResult);
        QFETCH(unsigned, invokeResult);
        QFETCH(bool, selected);
        QFETCH(int, menus);
        QFETCH(QString, invoked);
        QFETCH(QString, message);
        Sample sample;
        int home = sample.computer + 1;
        while (sample.shell.entry(home).label != "Home")
            ++home;
        sample.shell.entry(home).menuResult = menuResult;
        sample.shell.entry(home).invokeResult = invokeResult;
        if (invokeResult == shellFail)
            sample.shell.entry(home).failureReason = "No program for folders.";
        RecordingNotifier notifier;
        MenuTree tree(sample.shell, notifier);
        tree.answer = answer;
        tree.resize(300, 200);
        tree.Fill("");
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));

        QTreeWidgetItem* item = findItem(tree, {"Home"});
        QRect row = tree.visualItemRect(item);
        QPoint point(row.right() - 2, row.center().y());
        using Part = ShellFolderTree::HitPart;
        Part wanted = where == "icon" ? Part::Icon : where == "label" ? Part::Label : Part::Nowhere;
        if (wanted != Part::Nowhere) {
            for (int x = row.left(); x < row.right(); ++x) {
                if (tree.hitTest(QPoint(x, row.center().y())) == wanted) {
                    point.setX(x + 1);
                    break;
                }
            }
        }
        if (where == "empty")
            point.setY(190);
        QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, point);

        QCOMPARE(tree.selectedItems().value(0), selected ? item : nullptr);
        QCOMPARE(static_cast<int>(tree.shown.size()), menus);
        if (menus > 0)
            QCOMPARE(tree.shown.front().size(), std::size_t(3));
        QCOMPARE(QString::fromStdString(
                     sample.shell.invoked.empty() ? "" : sample.shell.invoked.front()),
            invoked);
        QCOMPARE(
            QString::fromStdString(notifier.texts.empty() ? "" : notifier.texts.front()), message);
    }
};

QTEST_MAIN(ShellFolderTreeTest)
#include "ShellFolderTreeTest.moc"
