#include "ui/LanguageChooser.h"

#include "ModalCloser.h"
#include "settings/Language.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace sorvanel;
using namespace sorvanel::ui;

namespace {

QString stored(const MemorySettingsStore& store)
{
    const auto* value = store.find("Settings", "Language");
    if (!value)
        return "<none>";
    return QString::fromStdString(std::get<std::string>(*value));
}

QPushButton* okOf(const LanguageChooser& chooser)
{
    return chooser.controlAs<QPushButton>(LanguageChooser::OkButton);
}

} // namespace

class LanguageChooserTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { setUiLanguage(Language::English); }

    void opensWithoutChoice()
    {
        MemorySettingsStore store;
        LanguageChooser chooser(store);
        QCOMPARE(chooser.windowTitle(), QString("Choose Language"));
        QCOMPARE(chooser.selection(), -1);
        QVERIFY(!chooser.controlAs<QRadioButton>(LanguageChooser::GermanRadio)->isChecked());
        QVERIFY(!chooser.controlAs<QRadioButton>(LanguageChooser::EnglishRadio)->isChecked());
        QVERIFY(!okOf(chooser)->isEnabled());
        QCOMPARE(chooser.controlAs<QRadioButton>(LanguageChooser::GermanRadio)->text(),
            QString("Deutsch (German)"));
        QStringList labels;
        for (QLabel* label : chooser.findChildren<QLabel*>())
            labels.append(label->text());
        QVERIFY(labels.contains(
            QString::fromUtf8("This dialog will not be displayed again.\nDieser Dialog wird "
                              "nicht mehr angezeigt.")));
        QCOMPARE(chooser.size(), chooser.mapDialogRect(QRect(0, 0, 186, 119)).size());
    }

    void okStoresTheClickedLanguage_data()
    {
        QTest::addColumn<int>("radio");
        QTest::addColumn<QString>("expected");
        QTest::newRow("German") << int(LanguageChooser::GermanRadio) << "G";
        QTest::newRow("English") << int(LanguageChooser::EnglishRadio) << "E";
    }

    void okStoresTheClickedLanguage()
    {
        QFETCH(int, radio);
        QFETCH(QString, expected);
        MemorySettingsStore store;
        LanguageChooser chooser(store);
        chooser.show();
        QTest::mouseClick(chooser.control(radio), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(okOf(chooser)->isEnabled());
        QCOMPARE(stored(store), QString("<none>"));
        QTest::mouseClick(okOf(chooser), Qt::LeftButton);
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
        QCOMPARE(stored(store), expected);
        QCOMPARE(store.writes.size(), std::size_t{1});
    }

    void arrowKeysChooseTheLanguageTheyReach_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("presses");
        QTest::addColumn<int>("expected");
        QTest::newRow("Down") << int(Qt::Key_Down) << 1 << 1;
        QTest::newRow("Right twice") << int(Qt::Key_Right) << 2 << 0;
        QTest::newRow("Up goes round") << int(Qt::Key_Up) << 1 << 1;
    }

    void arrowKeysChooseTheLanguageTheyReach()
    {
        QFETCH(int, key);
        QFETCH(int, presses);
        QFETCH(int, expected);
        MemorySettingsStore store;
        LanguageChooser chooser(store);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        QWidget* german = chooser.control(LanguageChooser::GermanRadio);
        german->setFocus(Qt::TabFocusReason);
        QCOMPARE(chooser.selection(), -1);
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(chooser.selection(), expected);
        QVERIFY(okOf(chooser)->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(stored(store), QString(expected == 0 ? "G" : "E"));
    }

    void staysOpenWithoutChoice()
    {
        MemorySettingsStore store;
        LanguageChooser chooser(store);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        QTest::keyClick(&chooser, Qt::Key_Return);
        chooser.accept();
        QVERIFY(chooser.isVisible());
        QVERIFY(store.writes.empty());
    }

    void escapeAndCloseStoreNothing_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Escape") << true;
        QTest::newRow("close box") << false;
    }

    void escapeAndCloseStoreNothing()
    {
        QFETCH(bool, escape);
        MemorySettingsStore store;
        LanguageChooser chooser(store);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        QTest::mouseClick(
            chooser.control(LanguageChooser::GermanRadio), Qt::LeftButton, {}, QPoint(5, 5));
        if (escape)
            QTest::keyClick(&chooser, Qt::Key_Escape);
        else
            chooser.close();
        QVERIFY(!chooser.isVisible());
        QCOMPARE(chooser.result(), int(QDialog::Rejected));
        QVERIFY(store.writes.empty());
    }

    void languageRuleRunsTheChooser_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("radio"); // 0: the chooser is escaped
        QTest::addColumn<bool>("chooserShown");
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("after");
        QTest::newRow("nothing stored, German chosen")
            << "" << int(LanguageChooser::GermanRadio) << true << true << "G";
        QTest::newRow("lower-case g, English chosen")
            << "g" << int(LanguageChooser::EnglishRadio) << true << false << "E";
        QTest::newRow("nothing stored, escaped") << "" << 0 << true << false << "<none>";
        QTest::newRow("stored G") << "G" << 0 << false << true << "G";
        QTest::newRow("stored E") << "E" << 0 << false << false << "E";
    }

    void languageRuleRunsTheChooser()
    {
        QFETCH(QString, before);
        QFETCH(int, radio);
        QFETCH(bool, chooserShown);
        QFETCH(bool, german);
        QFETCH(QString, after);
        MemorySettingsStore store;
        if (!before.isEmpty())
            store.WriteProfileString("Settings", "Language", before.toStdString());
        ModalCloser closer([radio](QWidget* window) {
            auto* chooser = qobject_cast<LanguageChooser*>(window);
            QVERIFY(chooser);
            if (radio == 0) {
                QTest::keyClick(chooser, Qt::Key_Escape);
                return;
            }
            QTest::mouseClick(chooser->control(radio), Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseClick(okOf(*chooser), Qt::LeftButton);
        });
        settleUiLanguageWithChooser(store);
        QCOMPARE(closer.seen, chooserShown);
        QCOMPARE(closer.parent, nullptr);
        QCOMPARE(UiLanguage() == Language::German, german);
        QCOMPARE(stored(store), after);
    }
};

QTEST_MAIN(LanguageChooserTest)
#include "LanguageChooserTest.moc"
