#include "ui/shell/IdList.h"

#include <QTest>

#include <vector>

using namespace sorvanel::ui;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Two items ("ab", "c") and a terminator: counts include their own two bytes.
const Bytes twoItems{4, 0, 'a', 'b', 3, 0, 'c', 0, 0};
const Bytes oneItem{3, 0, 'x', 0, 0};
const Bytes terminatorOnly{0, 0};

Bytes bytesOf(const IdList& list)
{
    return Bytes(list.bytes().begin(), list.bytes().end());
}

} // namespace

class IdListTest : public QObject
{
    Q_OBJECT

private slots:
    void sizes()
    {
        QCOMPARE(IdListSize(nullptr), std::size_t(0));
        QCOMPARE(IdListSize(terminatorOnly.data()), std::size_t(2));
        QCOMPARE(IdListSize(oneItem.data()), std::size_t(5));
        QCOMPARE(IdListSize(twoItems.data()), std::size_t(9));
    }

    void concatenates()
    {
        struct Case
        {
            const char* name;
            const Bytes* first;
            const Bytes* second;
            Bytes expected;
        };
        const Case cases[] = {
            {"no first list", nullptr, &oneItem, oneItem},
            {"empty first list", &terminatorOnly, &oneItem, oneItem},
            {"both", &twoItems, &oneItem, {4, 0, 'a', 'b', 3, 0, 'c', 3, 0, 'x', 0, 0}},
            {"empty second list", &oneItem, &terminatorOnly, oneItem},
        };
        for (const Case& c : cases) {
            IdList joined = ConcatIdLists(c.first ? c.first->data() : nullptr, c.second->data());
            QVERIFY2(bytesOf(joined) == c.expected, c.name);
        }
    }

    void copiesTheFirstItemAsAOneLevelList()
    {
        QCOMPARE(bytesOf(CopyFirstItemId(oneItem.data())), oneItem);
        // The bytes after the first item belong to the next one; the copy ends there.
        QCOMPARE(bytesOf(CopyFirstItemId(twoItems.data())), Bytes({4, 0, 'a', 'b', 0, 0}));
        QCOMPARE(bytesOf(CopyFirstItemId(terminatorOnly.data())), terminatorOnly);
        QVERIFY(CopyFirstItemId(nullptr).isNull());
    }

    void buildsAndTakesApartItems()
    {
        const std::uint8_t payload[] = {'h', 'i'};
        IdList item = makeItemId(payload);
        QCOMPARE(bytesOf(item), Bytes({4, 0, 'h', 'i', 0, 0}));
        std::vector<std::span<const std::uint8_t>> parts = itemPayloads(twoItems.data());
        QCOMPARE(parts.size(), std::size_t(2));
        QCOMPARE(Bytes(parts[0].begin(), parts[0].end()), Bytes({'a', 'b'}));
        QCOMPARE(Bytes(parts[1].begin(), parts[1].end()), Bytes({'c'}));
        QVERIFY(itemPayloads(nullptr).empty());

        // The count is 16 bits and includes itself.
        Bytes largest(65533, 'z');
        QCOMPARE(IdListSize(makeItemId(largest).get()), std::size_t(65537));
        largest.push_back('z');
        QVERIFY(makeItemId(largest).isNull());
    }
};

QTEST_GUILESS_MAIN(IdListTest)
#include "IdListTest.moc"
