#include "ui/controls/TemplateDialog.h"

#include "ui/controls/GrowLayout.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace sorvanel::ui;

namespace {

const ControlTemplate sampleRows[] = {
    {1, ControlKind::DefaultPushButton, "OK", 10, 20, 50, 14},
    {1070, ControlKind::CheckBox, "delete", 8, 11, 102, 10},
    {1084, ControlKind::Edit, "", 68, 44, 20, 14, DigitsOnly},
    {noId, ControlKind::GroupBox, "Frame", 1, 0, 114, 228},
    {1062, ControlKind::PushButton, "Hidden", 122, 229, 56, 14, Hidden},
};

class SampleDialog : public TemplateDialog
{
public:
    SampleDialog() { buildFromTemplate({"Sample", 200, 250}, sampleRows); }
};

} // namespace

class TemplateDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void convertsDialogUnits_data()
    {
        QTest::addColumn<QRect>("units");
        QTest::addColumn<int>("baseX");
        QTest::addColumn<int>("baseY");
        QTest::addColumn<QRect>("pixels");
        // 7x13 is DejaVu Sans 8 pt, 6x12 Liberation Sans; halves round away from zero.
        QTest::newRow("dejavu") << QRect(4, 8, 50, 14) << 7 << 13 << QRect(7, 13, 88, 23);
        QTest::newRow("liberation") << QRect(4, 8, 50, 14) << 6 << 12 << QRect(6, 12, 75, 21);
        QTest::newRow("half up") << QRect(2, 4, 2, 4) << 7 << 13 << QRect(4, 7, 4, 7);
        QTest::newRow("zero") << QRect(0, 0, 0, 0) << 7 << 13 << QRect(0, 0, 0, 0);
    }

    void convertsDialogUnits()
    {
        QFETCH(QRect, units);
        QFETCH(int, baseX);
        QFETCH(int, baseY);
        QFETCH(QRect, pixels);
        QCOMPARE(dialogUnitsToPixels(units, {baseX, baseY}), pixels);
    }

    void placesControlsByIdAtTheirPositions()
    {
        SampleDialog dialog;
        auto* ok = dialog.controlAs<QPushButton>(1);
        QVERIFY(ok);
        QVERIFY(ok->isDefault());
        // Inside the frame, which holds it, at the same place in the dialog.
        QCOMPARE(ok->parentWidget(), dialog.findChild<QGroupBox*>());
        QCOMPARE(QRect(ok->mapTo(&dialog, QPoint()), ok->size()),
            dialog.mapDialogRect(QRect(10, 20, 50, 14)));
        QVERIFY(dialog.controlAs<QCheckBox>(1070));
        QVERIFY(!dialog.control(4711));
        QCOMPARE(dialog.size(), dialog.mapDialogRect(QRect(0, 0, 200, 250)).size());
        QVERIFY(dialog.control(1062)->isHidden());
    }

    void groupBoxesStayBehindAndLetClicksThrough()
    {
        SampleDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* box = dialog.findChild<QGroupBox*>();
        QVERIFY(box);
        QCOMPARE(dialog.children().indexOf(box), 0);
        QVERIFY(dialog.control(1062)->isHidden());
        QVERIFY(dialog.control(1084)->isVisible());
        // Tab keeps the template order across the frame.
        QCOMPARE(dialog.control(1)->nextInFocusChain(), dialog.control(1070));
        auto* check = dialog.controlAs<QCheckBox>(1070);
        QPoint indicator(4, check->height() / 2);
        QCOMPARE(dialog.childAt(check->mapTo(&dialog, indicator)), check);
        QTest::mouseClick(check, Qt::LeftButton, {}, indicator);
        QVERIFY(check->isChecked());
    }

    void focusIsDrawnBeforeAnyKeyWasPressed()
    {
        SampleDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QWidget* check = dialog.control(1070);
        dialog.control(1084)->setFocus();
        const QImage unfocused = check->grab().toImage();
        check->setFocus();
        QTRY_VERIFY(check->grab().toImage() != unfocused);
    }

    void digitsOnlyEditRefusesOtherTypedCharacters()
    {
        SampleDialog dialog;
        auto* edit = dialog.controlAs<QLineEdit>(1084);
        QTest::keyClicks(edit, "1a2-3");
        QCOMPARE(edit->text(), QStringLiteral("123"));
    }

    // The folder chooser at its template size with DejaVu Sans: the tree and OK, Cancel.
    void growingDialogKeepsButtonsUnderTheMainControl_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("tree");
        QTest::addColumn<QRect>("ok");
        QTest::newRow("template size")
            << QSize(478, 374) << QRect(7, 7, 464, 328) << QRect(144, 343, 88, 23);
        QTest::newRow("wider and taller")
            << QSize(679, 474) << QRect(7, 7, 665, 428) << QRect(244, 443, 88, 23);
        QTest::newRow("smaller counts as the template")
            << QSize(300, 200) << QRect(7, 7, 464, 328) << QRect(144, 343, 88, 23);
        QTest::newRow("taller only")
            << QSize(478, 1000) << QRect(7, 7, 464, 954) << QRect(144, 969, 88, 23);
    }

    void growingDialogKeepsButtonsUnderTheMainControl()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, tree);
        QFETCH(QRect, ok);
        const QRect buttons[] = {QRect(144, 343, 88, 23), QRect(245, 343, 88, 23)};
        GrowLayout layout =
            layoutGrowingDialog(QSize(478, 374), size, QRect(7, 7, 464, 328), buttons);
        QCOMPARE(layout.minimumSize, QSize(478, 374));
        QCOMPARE(layout.main, tree);
        QCOMPARE(layout.buttons.size(), std::size_t(2));
        QCOMPARE(layout.buttons[0], ok);
        QCOMPARE(layout.buttons[1].x() - layout.buttons[0].x(), 101);
    }
};

QTEST_MAIN(TemplateDialogTest)
#include "TemplateDialogTest.moc"
