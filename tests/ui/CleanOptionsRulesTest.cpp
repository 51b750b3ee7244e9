#include "ui/CleanOptionsRules.h"

#include <QTest>

using namespace sorvanel;
using namespace sorvanel::ui;

Q_DECLARE_METATYPE(sorvanel::ui::OptionsEnabling)

namespace {

OptionsEnabling enabled(bool exceptIds, bool manufacturerEdits, bool exceptControls,
    bool controllers, bool resetPlaces, bool confirm)
{
    return {exceptIds, manufacturerEdits, exceptControls, controllers, resetPlaces, confirm};
}

} // namespace

class CleanOptionsRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void enabling_data()
    {
        QTest::addColumn<int>("sysEx");
        QTest::addColumn<int>("exceptIds");
        QTest::addColumn<int>("controls");
        QTest::addColumn<int>("exceptControls");
        QTest::addColumn<int>("reset");
        QTest::addColumn<OptionsEnabling>("expected");
        // Columns of the expectation: except-ids box, manufacturer edits, except box,
        // controllers, reset places, confirm.
        QTest::newRow("first start")
            << 0 << 0 << 0 << 1 << 0 << enabled(false, false, false, false, false, false);
        QTest::newRow("sysex") << 1 << 0 << 0 << 1 << 0
                               << enabled(true, false, false, false, false, true);
        QTest::newRow("sysex except ids")
            << 1 << 1 << 0 << 1 << 0 << enabled(true, true, false, false, false, true);
        QTest::newRow("except ids alone")
            << 0 << 1 << 0 << 0 << 0 << enabled(false, false, false, false, false, false);
        QTest::newRow("controls") << 0 << 0 << 1 << 1 << 0
                                  << enabled(false, false, true, true, false, true);
        QTest::newRow("controls, no exceptions")
            << 0 << 0 << 1 << 0 << 0 << enabled(false, false, true, false, false, true);
        QTest::newRow("reset") << 0 << 0 << 0 << 1 << 1
                               << enabled(false, false, false, false, true, true);
        QTest::newRow("everything")
            << 1 << 1 << 1 << 1 << 1 << enabled(true, true, true, true, true, true);
        QTest::newRow("indeterminate counts as set")
            << 2 << 2 << 0 << 0 << 0 << enabled(true, true, false, false, false, true);
    }

    void enabling()
    {
        QFETCH(int, sysEx);
        QFETCH(int, exceptIds);
        QFETCH(int, controls);
        QFETCH(int, exceptControls);
        QFETCH(int, reset);
        QFETCH(OptionsEnabling, expected);
        CleanOptions options;
        options.DeleteSysExEvents = sysEx;
        options.ExceptManufacturerIds = exceptIds;
        options.DeleteAllControlEvents = controls;
        options.ExceptControlEvents = exceptControls;
        options.InsertMidiReset = reset;
        OptionsEnabling actual = enablingFor(options);
        QCOMPARE(actual.exceptManufacturerIds, expected.exceptManufacturerIds);
        QCOMPARE(actual.manufacturerEdits, expected.manufacturerEdits);
        QCOMPARE(actual.exceptControlEvents, expected.exceptControlEvents);
        QCOMPARE(actual.controllers, expected.controllers);
        QCOMPARE(actual.resetPlaces, expected.resetPlaces);
        QCOMPARE(actual.confirm, expected.confirm);
    }

    void slotTextChange_data()
    {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("partner");

        QTest::newRow("hex lower case") << false << "7e" << true << 126 << "126";
        QTest::newRow("hex leading zero") << false << "0A" << true << 10 << "10";
        QTest::newRow("hex zero") << false << "0" << true << 0 << "0";
        QTest::newRow("hex empty") << false << "" << true << -1 << "";
        QTest::newRow("hex many leading zeros") << false << "000FF" << true << 255 << "255";
        QTest::newRow("hex letter G") << false << "G" << false << -1 << "";
        QTest::newRow("hex above FF") << false << "1FF" << false << -1 << "";
        QTest::newRow("hex nine digits") << false << "100000000" << false << -1 << "";
        QTest::newRow("hex blank") << false << " 1" << false << -1 << "";

        QTest::newRow("decimal one digit") << true << "3" << true << 3 << "3";
        QTest::newRow("decimal two digits") << true << "30" << true << 30 << "1E";
        QTest::newRow("decimal above 255") << true << "300" << false << -1 << "";
        QTest::newRow("decimal leading zero") << true << "0255" << true << 255 << "FF";
        QTest::newRow("decimal ten") << true << "010" << true << 10 << "A";
        QTest::newRow("decimal zero") << true << "0" << true << 0 << "0";
        QTest::newRow("decimal empty") << true << "" << true << -1 << "";
        QTest::newRow("decimal sign") << true << "-1" << false << -1 << "";
        QTest::newRow("decimal hex digit") << true << "1A" << false << -1 << "";
        QTest::newRow("decimal twelve digits") << true << "000000000255" << true << 255 << "FF";
    }

    void slotTextChange()
    {
        QFETCH(bool, decimal);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(int, value);
        QFETCH(QString, partner);
        std::string utf8 = text.toStdString();
        SlotTextChange change = decimal ? decimalTextChanged(utf8) : hexTextChanged(utf8);
        QCOMPARE(change.accepted, accepted);
        if (accepted) {
            QCOMPARE(change.value, value);
            QCOMPARE(QString::fromStdString(change.partnerText), partner);
        } else {
            const TextPair& expected =
                decimal ? Texts::InvalidDecimalValue : Texts::InvalidHexValue;
            QCOMPARE(change.message.english, expected.english);
            QCOMPARE(change.message.german, expected.german);
        }
    }
};

QTEST_GUILESS_MAIN(CleanOptionsRulesTest)
#include "CleanOptionsRulesTest.moc"
