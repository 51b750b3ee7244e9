#include "app/Application.h"

#include "platform/qt/MessageBoxes.h"

#include <QShortcutEvent>
#include <QTest>

#include <new>
#include <stdexcept>

using namespace sorvanel::ui;

namespace {

/// Throws from its event handler whatever the test asks for.
class Thrower : public QObject
{
public:
    std::function<void()> fail;
    int handled = 0;

    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User && event->type() != QEvent::Shortcut)
            return QObject::event(event);
        ++handled;
        if (fail)
            fail();
        return true;
    }
};

} // namespace

class ApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    void reportsAnEscapedException_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("command");
        QTest::addColumn<QString>("text");
        QTest::newRow("out of memory") << 0 << false << "Out of memory.";
        QTest::newRow("out of memory in a command") << 0 << true << "Out of memory.";
        QTest::newRow("a file failure: its own text, path decoded")
            << 1 << false << "Cannot open /music/Caf\u00e9.mid: Permission denied";
        QTest::newRow("no text of its own") << 2 << false << "Internal application error.";
        QTest::newRow("no text of its own, in a command") << 2 << true << "Command failed.";
    }

    void reportsAnEscapedException()
    {
        QFETCH(int, kind);
        std::vector<QString> shown;
        MessageBoxShower before = setMessageBoxShower(
            [&shown](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text) {
                QCOMPARE(caption, QCoreApplication::applicationName());
                shown.push_back(text);
            });
        Thrower thrower;
        thrower.fail = [kind] {
            if (kind == 0)
                throw std::bad_alloc();
            if (kind == 1)
                throw std::runtime_error("Cannot open /music/Caf\xE9.mid: Permission denied");
            throw 42;
        };
        QFETCH(bool, command);
        QEvent user(QEvent::User);
        QShortcutEvent shortcut(QKeySequence("Ctrl+K"), 1);
        QEvent& event = command ? static_cast<QEvent&>(shortcut) : user;

        QVERIFY(!QCoreApplication::sendEvent(&thrower, &event));
        // The program goes on: the next event is handled as usual.
        thrower.fail = nullptr;
        QVERIFY(QCoreApplication::sendEvent(&thrower, &user));
        setMessageBoxShower(before);
        QCOMPARE(thrower.handled, 2);
        QCOMPARE(shown.size(), std::size_t{1});
        QTEST(shown[0], "text");
    }

    void speaksQtsOwnTextsInTheChosenLanguage()
    {
        QTranslator english;
        QVERIFY(!installQtTranslation(english, sorvanel::Language::English));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
        {
            QTranslator german;
            QVERIFY(installQtTranslation(german, sorvanel::Language::German));
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
        }
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
    }
};

int main(int argc, char** argv)
{
    GuardedApplication application(argc, argv);
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ApplicationTest.moc"
