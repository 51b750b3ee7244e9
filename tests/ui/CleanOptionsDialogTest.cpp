#include "ui/CleanOptionsDialog.h"

#include "settings/Texts.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace sorvanel;
using namespace sorvanel::ui;
using Dialog = CleanOptionsDialog;

namespace {

const QString invalidHex = QString::fromUtf8(Texts::InvalidHexValue.english.data());
const QString invalidDecimal = QString::fromUtf8(Texts::InvalidDecimalValue.english.data());
const QString nothingSelected = QString::fromUtf8(Texts::NothingSelectedToDelete.english.data());

/// Stores "Name=Value" entries the way a former confirmation would have left them.
void preset(MemorySettingsStore& store, const QStringList& entries)
{
    for (const QString& entry : entries) {
        qsizetype split = entry.indexOf(u'=');
        store.WriteProfileString(
            settingsSection, entry.left(split).toStdString(), entry.mid(split + 1).toStdString());
    }
    store.writes.clear();
}

QStringList texts(const RecordingNotifier& notifier)
{
    QStringList list;
    for (const std::string& text : notifier.texts)
        list << QString::fromStdString(text);
    return list;
}

QString storedText(const MemorySettingsStore& store, const char* name)
{
    const auto* value = store.find(settingsSection, name);
    if (!value)
        return QStringLiteral("<missing>");
    if (const auto* number = std::get_if<std::int32_t>(value))
        return QString::number(*number);
    return QString::fromStdString(std::get<std::string>(*value));
}

/// The dialog under test, opened on its own store with its messages recorded.
struct Opened
{
    explicit Opened(
        const QStringList& stored = {}, std::function<void(std::string_view)> onMessage = {})
        : notifier(std::move(onMessage))
    {
        preset(store, stored);
        dialog = std::make_unique<Dialog>(store, notifier);
        dialog->show();
        active = QTest::qWaitForWindowActive(dialog.get());
    }

    QCheckBox* box(int id) const { return dialog->controlAs<QCheckBox>(id); }
    QLineEdit* edit(int id) const { return dialog->controlAs<QLineEdit>(id); }
    QString text(int id) const { return edit(id)->text(); }

    /// Clicks where a person clicks a check box: on its indicator.
    void click(int id) const
    {
        QWidget* box = dialog->control(id);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    }

    void confirm() const
    {
        auto* button = dialog->controlAs<QPushButton>(Dialog::ConfirmButton);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void type(int id, const QString& keys) const
    {
        edit(id)->setFocus();
        QTest::keyClicks(edit(id), keys);
    }

    /// Records every message; hands each to `onMessage` first, while "the box is up".
    struct Notifier : RecordingNotifier
    {
        explicit Notifier(std::function<void(std::string_view)> callback)
            : onMessage(std::move(callback))
        {
        }
        void notify(std::string_view text) override
        {
            RecordingNotifier::notify(text);
            if (onMessage)
                onMessage(text);
        }
        std::function<void(std::string_view)> onMessage;
    };

    MemorySettingsStore store;
    Notifier notifier;
    std::unique_ptr<Dialog> dialog;
    bool active = false;
};

/// Every group in use, so that every edit takes input.
QStringList allGroupsOn()
{
    return {QStringLiteral("DeleteSysExEvents=1"), QStringLiteral("ExceptManufacturerIds=1"),
        QStringLiteral("DeleteAllControlEvents=1")};
}

int idOf(const QWidget* widget)
{
    return widget->objectName().startsWith(QLatin1String("ctl"))
        ? widget->objectName().mid(3).toInt()
        : 0;
}

} // namespace

class CleanOptionsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { setUiLanguage(Language::English); }
    void cleanup() { setUiLanguage(Language::English); }

    void captionsFollowTheLanguage_data()
    {
        // 0: the dialog's title; -1 and -2: the title and the confirming button of a preview's.
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        auto row = [](int id, const char* english, const char* german) {
            QTest::addRow("%d", id)
                << id << QString::fromUtf8(english) << QString::fromUtf8(german);
        };
        row(0, "Clean Midi Files", "Midifiles säubern");
        row(1070, "delete all SysEx events", "Alle SysEx Events löschen");
        row(1071, "except manufacturer id:", "außer Hersteller-Id:");
        row(1096, "delete all controller events", "Alle Controller Events löschen");
        row(1097, "except:", "außer:");
        row(1126, "standard:", "Standard:");
        row(1130, "user defined:", "Definierbar:");
        row(1121, "Insert Midi Reset:", "Midi-Reset einfügen");
        row(1122, "Beginning of file", "Am Anfang");
        row(1123, "End of file", "Am Ende");
        row(1, "Clean", "Säubern");
        row(2, "Cancel", "Abbrechen");
        row(1098, "(00/00) Bank select MSB", "(00/00) Bank select MSB");
        row(-1, "Preview: Check Midi Files", "Vorschau: Midifiles prüfen");
        row(-2, "Preview", "Vorschau");
    }

    void captionsFollowTheLanguage()
    {
        QFETCH(int, id);
        QFETCH(QString, english);
        QFETCH(QString, german);
        for (Language language : {Language::English, Language::German}) {
            setUiLanguage(language);
            MemorySettingsStore store;
            RecordingNotifier notifier;
            Dialog dialog(store, notifier);
            if (id < 0)
                dialog.setPreview();
            const int control = id == -2 ? 1 : std::max(id, 0);
            QString shown = control ? dialog.control(control)->property("text").toString()
                                    : dialog.windowTitle();
            QCOMPARE(shown, language == Language::German ? german : english);
        }
    }

    void slotEditsSitInRowsOfFifteenUnits()
    {
        MemorySettingsStore store;
        RecordingNotifier notifier;
        Dialog dialog(store, notifier);
        for (int slot = 0; slot < Dialog::slotCount; ++slot) {
            bool manufacturer = slot < Dialog::manufacturerSlots;
            int k = manufacturer ? slot + 1 : slot + 1 - Dialog::manufacturerSlots;
            int hexId = manufacturer ? 1071 + k : 1102 + k;
            int decimalId = manufacturer ? 1083 + k : 1110 + k;
            int y = 29 + 15 * k;
            QCOMPARE(Dialog::hexEditId(slot), hexId);
            QCOMPARE(Dialog::decimalEditId(slot), decimalId);
            auto inDialog = [&dialog](int id) {
                QWidget* edit = dialog.control(id);
                return QRect(edit->mapTo(&dialog, QPoint()), edit->size());
            };
            QCOMPARE(
                inDialog(hexId), dialog.mapDialogRect(QRect(manufacturer ? 48 : 321, y, 17, 14)));
            QCOMPARE(inDialog(decimalId),
                dialog.mapDialogRect(QRect(manufacturer ? 68 : 342, y, 20, 14)));
        }
        QCOMPARE(dialog.size(), dialog.mapDialogRect(QRect(0, 0, 368, 255)).size());
    }

    void assistiveTechnologyReadsNamesGroupsAndLabels_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::addColumn<QString>("group"); // the frame that holds it; none: the dialog
        QTest::addColumn<QString>("label"); // a label tied to it, if any: English|German
        auto row = [](int id, QAccessible::Role role, const char* english, const char* german,
                       const char* group, const char* label) {
            QTest::addRow("%d", id)
                << id << int(role) << QString::fromUtf8(english) << QString::fromUtf8(german)
                << QString(group) << QString(label);
        };
        const auto edit = QAccessible::EditableText;
        row(1072, edit, "Manufacturer ID 1, hex", "Hersteller-ID 1, hex", "SysEx Events",
            "(hex)|(hex)");
        row(1084, edit, "Manufacturer ID 1, decimal", "Hersteller-ID 1, dezimal", "SysEx Events",
            "(dez)|(dez)");
        row(1095, edit, "Manufacturer ID 12, decimal", "Hersteller-ID 12, dezimal", "SysEx Events",
            "");
        row(1103, edit, "User-defined controller 1, hex", "Definierbarer Controller 1, hex",
            "Controller Events", "user defined:|Definierbar:");
        row(1118, edit, "User-defined controller 8, decimal", "Definierbarer Controller 8, dezimal",
            "Controller Events", "");
        row(1070, QAccessible::CheckBox, "delete all SysEx events", "Alle SysEx Events löschen",
            "SysEx Events", "");
        row(1098, QAccessible::CheckBox, "(00/00) Bank select MSB", "(00/00) Bank select MSB",
            "Controller Events", "standard:|Standard:");
        row(1123, QAccessible::CheckBox, "End of file", "Am Ende", "Midi Reset", "");
        row(1, QAccessible::Button, "Clean", "Säubern", "", "");
    }

    void assistiveTechnologyReadsNamesGroupsAndLabels()
    {
        QFETCH(int, id);
        QFETCH(int, role);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QFETCH(QString, group);
        QFETCH(QString, label);
        for (Language language : {Language::English, Language::German}) {
            setUiLanguage(language);
            MemorySettingsStore store;
            RecordingNotifier notifier;
            Dialog dialog(store, notifier);
            QAccessibleInterface* entry = QAccessible::queryAccessibleInterface(dialog.control(id));
            QVERIFY(entry);
            QCOMPARE(int(entry->role()), role);
            QCOMPARE(
                entry->text(QAccessible::Name), language == Language::German ? german : english);
            QAccessibleInterface* holder = entry->parent();
            QCOMPARE(int(holder->role()),
                int(group.isEmpty() ? QAccessible::Dialog : QAccessible::Grouping));
            if (!group.isEmpty())
                QCOMPARE(holder->text(QAccessible::Name), group);
            QVERIFY(holder->indexOfChild(entry) >= 0);
            QStringList labels;
            for (const auto& [other, relation] : entry->relations(QAccessible::Label))
                labels << other->text(QAccessible::Name);
            if (!label.isEmpty())
                QVERIFY2(labels.contains(label.section(
                             u'|', language == Language::German, language == Language::German)),
                    qPrintable(labels.join(u',')));
            else
                QCOMPARE(labels.size(), group.isEmpty() ? 0 : 1); // only its frame
        }
    }

    void framesStayInsideWithTheLeftMargin()
    {
        for (Language language : {Language::English, Language::German}) {
            setUiLanguage(language);
            MemorySettingsStore store;
            RecordingNotifier notifier;
            Dialog dialog(store, notifier);
            const QList<QGroupBox*> frames = dialog.findChildren<QGroupBox*>();
            QCOMPARE(frames.size(), 3);
            // Read by assistive technology in this order.
            QCOMPARE(frames[0]->title(), QString("SysEx Events"));
            QCOMPARE(frames[2]->title(), QString("Midi Reset"));
            int margin = dialog.width();
            for (const QGroupBox* frame : frames)
                margin = std::min(margin, frame->x());
            QVERIFY(margin > 0);
            for (const QGroupBox* frame : frames) {
                QVERIFY2(frame->geometry().right() < dialog.width() - margin,
                    qPrintable(frame->title()));
                QVERIFY(frame->geometry().bottom() < dialog.height());
            }
        }
    }

    void tabWalksTheTemplateOrder()
    {
        Opened opened(allGroupsOn() << QStringLiteral("InsertMidiReset=1"));
        QVERIFY(opened.active);
        QList<int> expected{1070, 1071};
        for (int k = 0; k < 12; ++k)
            expected << 1072 + k << 1084 + k;
        expected << 1096 << 1097 << 1098 << 1124 << 1099 << 1100 << 1101 << 1102 << 1127 << 1119
                 << 1120 << 1128;
        for (int k = 0; k < 8; ++k)
            expected << 1103 + k << 1111 + k;
        expected << 1121 << 1122 << 1123 << 1 << 2;

        QWidget* start = opened.dialog->control(Dialog::DeleteSysExEventsBox);
        QCOMPARE(QApplication::focusWidget(), start);
        QList<int> walked;
        for (int step = 0; step < expected.size(); ++step) {
            walked << idOf(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(walked, expected);
        QCOMPARE(QApplication::focusWidget(), start);
    }

    void firstStartOffersOnlyTheMainChoices()
    {
        Opened opened;
        QVERIFY(opened.active);
        QList<int> usable;
        for (QWidget* widget : opened.dialog->findChildren<QWidget*>()) {
            if (idOf(widget) != 0 && widget->isEnabled() && widget->focusPolicy() != Qt::NoFocus)
                usable << idOf(widget);
        }
        std::sort(usable.begin(), usable.end());
        QCOMPARE(usable, (QList<int>{2, 1070, 1096, 1121}));
        QCOMPARE(QApplication::focusWidget(), opened.dialog->control(1070));

        QCOMPARE(opened.box(1097)->isChecked(), true);
        QCOMPARE(opened.box(1122)->isChecked(), true);
        QCOMPARE(opened.box(1123)->isChecked(), false);
        QCOMPARE(opened.box(1071)->isChecked(), false);
        for (int id : {1098, 1124, 1099, 1100, 1101, 1127, 1119, 1120, 1128})
            QVERIFY2(opened.box(id)->isChecked(), qPrintable(QString::number(id)));
        QCOMPARE(opened.box(1102)->isChecked(), false);
        for (int slot = 0; slot < Dialog::slotCount; ++slot) {
            QCOMPARE(opened.text(Dialog::hexEditId(slot)), QString());
            QCOMPARE(opened.text(Dialog::decimalEditId(slot)), QString());
        }
    }

    void clicksOnTheMainChoicesUpdateTheGreying_data()
    {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<bool>("keyboard");
        // Enabled after the clicks: 1071, the manufacturer edits, 1097, the controllers, the
        // reset places, the confirm button.
        QTest::addColumn<QList<bool>>("enabled");
        QTest::newRow("sysex") << QList<int>{1070} << false
                               << QList<bool>{true, false, false, false, false, true};
        QTest::newRow("sysex except ids") << QList<int>{1070, 1071} << false
                                          << QList<bool>{true, true, false, false, false, true};
        QTest::newRow("sysex off again") << QList<int>{1070, 1071, 1070} << false
                                         << QList<bool>{false, false, false, false, false, false};
        QTest::newRow("controllers")
            << QList<int>{1096} << false << QList<bool>{false, false, true, true, false, true};
        QTest::newRow("controllers, no exceptions") << QList<int>{
            1096, 1097} << false << QList<bool>{false, false, true, false, false, true};
        QTest::newRow("reset") << QList<int>{1121} << false
                               << QList<bool>{false, false, false, false, true, true};
        QTest::newRow("by space key") << QList<int>{1070, 1071, 1096} << true
                                      << QList<bool>{true, true, true, true, false, true};
    }

    void clicksOnTheMainChoicesUpdateTheGreying()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(bool, keyboard);
        QFETCH(QList<bool>, enabled);
        Opened opened;
        QVERIFY(opened.active);
        for (int id : clicks) {
            if (keyboard) {
                opened.box(id)->setFocus();
                QTest::keyClick(opened.box(id), Qt::Key_Space);
            } else {
                opened.click(id);
            }
        }
        QList<int> manufacturerEdits, controllers;
        for (int slot = 0; slot < Dialog::slotCount; ++slot) {
            auto& group = slot < Dialog::manufacturerSlots ? manufacturerEdits : controllers;
            group << Dialog::hexEditId(slot) << Dialog::decimalEditId(slot);
        }
        controllers << 1098 << 1124 << 1099 << 1100 << 1101 << 1102 << 1127 << 1119 << 1120 << 1128;
        QList<bool> actual;
        for (const QList<int>& ids : {QList<int>{1071}, manufacturerEdits, QList<int>{1097},
                 controllers, QList<int>{1122, 1123}, QList<int>{1}}) {
            qsizetype on = std::count_if(ids.begin(), ids.end(),
                [&](int id) { return opened.dialog->control(id)->isEnabled(); });
            QVERIFY2(on == 0 || on == ids.size(), "a group is partly enabled");
            actual << (on != 0);
        }
        QCOMPARE(actual, enabled);
        for (int id : {1070, 1096, 1121, 2})
            QVERIFY(opened.dialog->control(id)->isEnabled());
    }

    void typingKeepsThePairInStep_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("partnerAfterEachKey");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("value");

        QTest::newRow("7e") << 0 << false << "7e" << QStringList{"7", "126"} << 0 << 126;
        QTest::newRow("0A") << 19 << false << "0A" << QStringList{"0", "10"} << 0 << 10;
        QTest::newRow("300") << 1 << true << "300" << QStringList{"3", "1E", "1E"} << 1 << 30;
        QTest::newRow("G") << 2 << false << "G" << QStringList{""} << 1 << -1;
        QTest::newRow("1FF") << 12 << false << "1FF" << QStringList{"1", "31", "31"} << 1 << 31;
        QTest::newRow("000FF") << 13 << false << "000FF" << QStringList{"0", "0", "0", "15", "255"}
                               << 0 << 255;
        QTest::newRow("nine digits")
            << 3 << false << "100000000"
            << QStringList{"1", "16", "16", "16", "16", "16", "16", "16", "16"} << 7 << 16;
        QTest::newRow("decimal leading zeros")
            << 14 << true << "0255" << QStringList{"0", "2", "19", "FF"} << 0 << 255;
    }

    void typingKeepsThePairInStep()
    {
        QFETCH(int, slot);
        QFETCH(bool, decimal);
        QFETCH(QString, keys);
        QFETCH(QStringList, partnerAfterEachKey);
        QFETCH(int, messages);
        QFETCH(int, value);
        Opened opened(allGroupsOn());
        QVERIFY(opened.active);
        int typed = decimal ? Dialog::decimalEditId(slot) : Dialog::hexEditId(slot);
        int partner = decimal ? Dialog::hexEditId(slot) : Dialog::decimalEditId(slot);

        QStringList partnerTexts;
        for (QChar key : keys) {
            opened.type(typed, key);
            partnerTexts << opened.text(partner);
        }
        QCOMPARE(partnerTexts, partnerAfterEachKey);
        QCOMPARE(opened.text(typed), keys);
        QCOMPARE(texts(opened.notifier),
            QStringList(QList<QString>(messages, decimal ? invalidDecimal : invalidHex)));
        QCOMPARE(QApplication::focusWidget(), opened.dialog->control(typed));
        const ByteSlot& byteSlot = slot < Dialog::manufacturerSlots
            ? opened.dialog->options().ManufacturerId[size_t(slot)]
            : opened.dialog->options().Control[size_t(slot - Dialog::manufacturerSlots)];
        QCOMPARE(byteSlot.Value, value);
        QVERIFY(opened.store.writes.empty());
    }

    void typingInsideAnEntryKeepsTheCursor()
    {
        Opened opened(allGroupsOn() << QStringLiteral("Control2=FF"));
        QVERIFY(opened.active);
        QLineEdit* hex = opened.edit(1104);
        hex->setFocus();
        QTest::keyClick(hex, Qt::Key_Home);
        QTest::keyClicks(hex, QStringLiteral("00"));
        QCOMPARE(hex->text(), QStringLiteral("00FF"));
        QCOMPARE(hex->cursorPosition(), 2);
        QCOMPARE(opened.text(1112), QStringLiteral("255"));
        QTest::keyClick(hex, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(hex->text(), QStringLiteral("FF"));
        QCOMPARE(opened.text(1112), QStringLiteral("255"));
        QVERIFY(opened.notifier.texts.empty());
    }

    void pastingIsCheckedLikeTyping_data()
    {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("partner");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("hex") << false << "0a"
                             << "10" << QStringList{};
        QTest::newRow("nine hex digits") << false << "100000000"
                                         << "77" << QStringList{invalidHex};
        QTest::newRow("decimal") << true << "200"
                                 << "C8" << QStringList{};
        QTest::newRow("decimal above 255") << true << "256"
                                           << "4D" << QStringList{invalidDecimal};
        // Only typed characters are filtered; pasted letters reach the check and its message.
        QTest::newRow("decimal with letters") << true << "12a"
                                              << "4D" << QStringList{invalidDecimal};
    }

    void pastingIsCheckedLikeTyping()
    {
        QFETCH(bool, decimal);
        QFETCH(QString, pasted);
        QFETCH(QString, partner);
        QFETCH(QStringList, messages);
        Opened opened(allGroupsOn() << QStringLiteral("Control1=4D"));
        QVERIFY(opened.active);
        opened.edit(1111)->setText(QStringLiteral("77")); // as if typed: hex follows
        QCOMPARE(opened.text(1103), QStringLiteral("4D"));
        opened.notifier.texts.clear();
        int target = decimal ? 1111 : 1103;
        QGuiApplication::clipboard()->setText(pasted);
        opened.edit(target)->setFocus();
        opened.edit(target)->selectAll();
        QTest::keyClick(opened.edit(target), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(opened.text(target), pasted);
        QCOMPARE(opened.text(decimal ? 1103 : 1111), partner);
        QCOMPARE(texts(opened.notifier), messages);
    }

    void clearingOneEditClearsItsPartner_data()
    {
        QTest::addColumn<int>("edit");
        QTest::addColumn<int>("partner");
        QTest::addColumn<bool>("selectAll");
        QTest::newRow("manufacturer hex") << 1072 << 1084 << true;
        QTest::newRow("manufacturer decimal") << 1084 << 1072 << true;
        QTest::newRow("controller hex, key by key") << 1110 << 1118 << false;
        QTest::newRow("controller decimal, key by key") << 1118 << 1110 << false;
    }

    void clearingOneEditClearsItsPartner()
    {
        QFETCH(int, edit);
        QFETCH(int, partner);
        QFETCH(bool, selectAll);
        Opened opened(
            allGroupsOn() << QStringLiteral("ManufacturerId1=7F") << QStringLiteral("Control8=0a"));
        QVERIFY(opened.active);
        // Stored texts are shown as stored, the decimal beside them derived.
        QCOMPARE(opened.text(1072), QStringLiteral("7F"));
        QCOMPARE(opened.text(1084), QStringLiteral("127"));
        QCOMPARE(opened.text(1110), QStringLiteral("0a"));
        QCOMPARE(opened.text(1118), QStringLiteral("10"));

        QLineEdit* cleared = opened.edit(edit);
        cleared->setFocus();
        cleared->end(false);
        if (selectAll) {
            cleared->selectAll();
            QTest::keyClick(cleared, Qt::Key_Backspace);
        } else {
            while (!cleared->text().isEmpty())
                QTest::keyClick(cleared, Qt::Key_Backspace);
        }
        QCOMPARE(opened.text(partner), QString());
        QVERIFY(opened.notifier.texts.empty());
        const CleanOptions& options = opened.dialog->options();
        QCOMPARE(edit == 1072 || edit == 1084 ? options.ManufacturerId[0].Value
                                              : options.Control[7].Value,
            -1);
    }

    void confirmationChecksTheGroupsInUse_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("focus"); // 0: not an edit
        QTest::addColumn<bool>("accepted");

        QTest::newRow("bad text in a greyed manufacturer edit")
            << QStringList{"DeleteSysExEvents=1", "ManufacturerId3=G"} << "click"
            << QStringList{invalidHex} << 0 << false;
        QTest::newRow("both groups bad, the last keeps the focus")
            << QStringList{"DeleteSysExEvents=1", "ExceptManufacturerIds=1", "ManufacturerId2=1FF",
                   "DeleteAllControlEvents=1", "Control3=ZZ"}
            << "click" << QStringList{invalidHex, invalidHex} << 1105 << false;
        QTest::newRow("first bad slot of a group only")
            << QStringList{"DeleteSysExEvents=1", "ExceptManufacturerIds=1", "ManufacturerId2=1FF",
                   "ManufacturerId5=G"}
            << "click" << QStringList{invalidHex} << 1073 << false;
        QTest::newRow("unticked group is not checked")
            << QStringList{"ManufacturerId1=1G", "InsertMidiReset=1", "Control1=ZZ"} << "click"
            << QStringList{} << 0 << true;
        QTest::newRow("greyed controllers are checked when deleting")
            << QStringList{"DeleteAllControlEvents=1", "ExceptControlEvents=0", "Control8=100"}
            << "enter" << QStringList{invalidHex} << 0 << false;
        QTest::newRow("default key confirms")
            << QStringList{"DeleteAllControlEvents=1", "Control8=0FF"} << "enter" << QStringList{}
            << 0 << true;
        QTest::newRow("nothing selected") << QStringList{"ManufacturerId1=G"} << "accept"
                                          << QStringList{nothingSelected} << 0 << false;
    }

    void confirmationChecksTheGroupsInUse()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, how);
        QFETCH(QStringList, messages);
        QFETCH(int, focus);
        QFETCH(bool, accepted);
        Opened opened(stored);
        QVERIFY(opened.active);
        if (how == QLatin1String("click"))
            opened.confirm();
        else if (how == QLatin1String("enter"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else
            opened.dialog->accept();
        QCOMPARE(texts(opened.notifier), messages);
        QCOMPARE(opened.dialog->isVisible(), !accepted);
        QCOMPARE(opened.dialog->result(), accepted ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(opened.store.writes.size(), accepted ? 37u : 0u);
        if (focus)
            QCOMPARE(QApplication::focusWidget(), opened.dialog->control(focus));
    }

    void typedDecimalTextIsCheckedAgainOnConfirmation()
    {
        Opened opened(allGroupsOn());
        QVERIFY(opened.active);
        opened.type(1111, QStringLiteral("300"));
        QCOMPARE(texts(opened.notifier), QStringList{invalidDecimal});
        opened.dialog->control(1070)->setFocus();
        opened.confirm();
        QCOMPARE(texts(opened.notifier), (QStringList{invalidDecimal, invalidDecimal}));
        QCOMPARE(QApplication::focusWidget(), opened.dialog->control(1111));
        QVERIFY(opened.dialog->isVisible());
        QVERIFY(opened.store.writes.empty());
    }

    void confirmationSavesAndHandsOverTheOptions()
    {
        Opened opened({"DeleteSysExEvents=1", "ManufacturerId1=7F", "ManufacturerId12=0",
            "Control1=1G", "Control2=ZZZ", "Control8=20", "ExceptControlEvents=1",
            "BankSelectLSB=1", "EndOfFile=1"});
        QVERIFY(opened.active);
        opened.click(1071);
        opened.type(1074, QStringLiteral("0a"));
        opened.type(1087, QStringLiteral("64"));
        opened.click(1121);
        opened.click(1122);
        // The controller group stays off: its entries are saved as they stand, unchecked.
        opened.confirm();
        QVERIFY(opened.notifier.texts.empty());
        QCOMPARE(opened.dialog->result(), QDialog::Accepted);

        CleanOptions names;
        std::vector<std::string> expectedWrites;
        for (const StoredOption& option : storedOptions(names))
            expectedWrites.push_back(std::string(settingsSection) + "/" + option.name);
        QCOMPARE(opened.store.writes, expectedWrites);
        QStringList saved;
        for (const char* name : {"DeleteSysExEvents", "ExceptManufacturerIds", "ManufacturerId1",
                 "ManufacturerId2", "ManufacturerId3", "ManufacturerId4", "ManufacturerId12",
                 "DeleteAllControlEvents", "ExceptControlEvents", "BankSelectLSB", "Control1",
                 "Control2", "Control8", "InsertMidiReset", "BeginningOfFile", "EndOfFile"})
            saved << QString::fromUtf8(name) + u'=' + storedText(opened.store, name);
        QCOMPARE(saved,
            (QStringList{"DeleteSysExEvents=1", "ExceptManufacturerIds=1", "ManufacturerId1=7F",
                "ManufacturerId2=", "ManufacturerId3=0a", "ManufacturerId4=40",
                "ManufacturerId12=0", "DeleteAllControlEvents=0", "ExceptControlEvents=1",
                "BankSelectLSB=1", "Control1=1G", "Control2=ZZZ", "Control8=20",
                "InsertMidiReset=1", "BeginningOfFile=0", "EndOfFile=1"}));

        const CleanOptions& options = opened.dialog->options();
        QList<int> manufacturerValues, controlValues;
        for (const ByteSlot& slot : options.ManufacturerId)
            manufacturerValues << slot.Value;
        for (const ByteSlot& slot : options.Control)
            controlValues << slot.Value;
        QCOMPARE(manufacturerValues, (QList<int>{127, -1, 10, 64, -1, -1, -1, -1, -1, -1, -1, 0}));
        QCOMPARE(controlValues, (QList<int>{1, 0, -1, -1, -1, -1, -1, 32}));
        QCOMPARE(options.DeleteSysExEvents, 1);
        QCOMPARE(options.ExceptManufacturerIds, 1);
        QCOMPARE(options.DeleteAllControlEvents, 0);
        QCOMPARE(options.InsertMidiReset, 1);
        QCOMPARE(options.BeginningOfFile, 0);
        QCOMPARE(options.EndOfFile, 1);
        QCOMPARE(options.BankSelectLSB, 1);
    }

    void greyingKeepsStatesAndTexts()
    {
        Opened opened(
            allGroupsOn() << QStringLiteral("ManufacturerId1=7F") << QStringLiteral("Control1=40"));
        QVERIFY(opened.active);
        opened.click(1070);
        opened.click(1096);
        QVERIFY(!opened.edit(1072)->isEnabled());
        QVERIFY(!opened.edit(1103)->isEnabled());
        QCOMPARE(opened.text(1072), QStringLiteral("7F"));
        QCOMPARE(opened.text(1084), QStringLiteral("127"));
        QCOMPARE(opened.text(1103), QStringLiteral("40"));
        QVERIFY(opened.box(1071)->isChecked());
        QVERIFY(opened.box(1097)->isChecked());
        QVERIFY(opened.box(1098)->isChecked());
        opened.click(1070);
        QVERIFY(opened.edit(1072)->isEnabled());
        QCOMPARE(opened.text(1072), QStringLiteral("7F"));
    }

    void cancelSavesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel button") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("close box") << "close";
    }

    void cancelSavesNothing()
    {
        QFETCH(QString, how);
        Opened opened({"ManufacturerId1=1", "InsertMidiReset=1"});
        QVERIFY(opened.active);
        auto before = opened.store.values;
        opened.click(1070);
        opened.click(1071);
        opened.type(1072, QStringLiteral("F"));
        opened.click(1123);
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(opened.dialog->control(2), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            opened.dialog->close();
        QCOMPARE(opened.dialog->result(), QDialog::Rejected);
        QVERIFY(!opened.dialog->isVisible());
        QVERIFY(opened.store.writes.empty());
        QVERIFY(opened.store.values == before);

        Dialog again(opened.store, opened.notifier);
        QCOMPARE(again.controlAs<QCheckBox>(1070)->isChecked(), false);
        QCOMPARE(again.controlAs<QCheckBox>(1123)->isChecked(), false);
        QCOMPARE(again.controlAs<QLineEdit>(1072)->text(), QStringLiteral("1"));
    }

    void storedFlagsOutsideTheirRangeReadAsOff_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("flag");
        QTest::newRow("1") << "1" << true << 1;
        QTest::newRow("indeterminate 2") << "2" << true << 2;
        QTest::newRow("3") << "3" << false << 0;
        QTest::newRow("-1") << "-1" << false << 0;
    }

    void storedFlagsOutsideTheirRangeReadAsOff()
    {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        QFETCH(int, flag);
        Opened opened({QStringLiteral("DeleteSysExEvents=") + stored});
        QCOMPARE(opened.box(1070)->isChecked(), checked);
        QCOMPARE(opened.dialog->options().DeleteSysExEvents, flag);
        QCOMPARE(opened.dialog->control(1071)->isEnabled(), checked);
    }

    void aMessageDoesNotStartAnotherRound()
    {
        // Whatever reaches the edits while a box is up must not start more checks and boxes.
        QLineEdit* edit = nullptr;
        Opened opened(allGroupsOn(), [&edit](std::string_view) {
            if (edit)
                edit->insert(QStringLiteral("X"));
        });
        QVERIFY(opened.active);
        edit = opened.edit(1073);
        opened.type(1073, QStringLiteral("G"));
        QCOMPARE(texts(opened.notifier), QStringList{invalidHex});
        QCOMPARE(opened.text(1073), QStringLiteral("GX"));
        QCOMPARE(opened.text(1085), QString());
    }
};

QTEST_MAIN(CleanOptionsDialogTest)
#include "CleanOptionsDialogTest.moc"
