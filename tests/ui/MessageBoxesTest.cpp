#include "platform/qt/MessageBoxes.h"

#include "ModalCloser.h"
#include "platform/qt/WaitCursor.h"

#include <QDialog>
#include <QTest>

#include <stdexcept>

using namespace sorvanel::ui;

namespace {

struct Shown
{
    QWidget* owner;
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

/// Records every box instead of showing it; the first `failures` calls throw `Failure`.
template <class Failure = std::bad_alloc> class Recorder
{
public:
    explicit Recorder(int failures = 0)
        : m_failures(failures)
    {
        m_previous = setMessageBoxShower([this](QWidget* owner, QMessageBox::Icon icon,
                                             const QString& caption, const QString& text) {
            shown.push_back({owner, icon, caption, text});
            if (m_failures-- > 0) {
                if constexpr (std::is_same_v<Failure, std::bad_alloc>)
                    throw std::bad_alloc();
                else
                    throw Failure("failed");
            }
        });
    }
    ~Recorder() { setMessageBoxShower(std::move(m_previous)); }

    std::vector<Shown> shown;

private:
    int m_failures;
    MessageBoxShower m_previous;
};

} // namespace

class MessageBoxesTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setApplicationMainWindow(nullptr); }

    void errorBoxFallsBackToTheMainWindow_data()
    {
        QTest::addColumn<bool>("withOwner");
        QTest::addColumn<bool>("withMainWindow");
        QTest::addColumn<QString>("expectedOwner");
        QTest::newRow("own owner") << true << true << "owner";
        QTest::newRow("main window") << false << true << "main";
        QTest::newRow("nobody") << false << false << "";
    }

    void errorBoxFallsBackToTheMainWindow()
    {
        QFETCH(bool, withOwner);
        QFETCH(bool, withMainWindow);
        QFETCH(QString, expectedOwner);
        QWidget main;
        main.setObjectName("main");
        QWidget owner;
        owner.setObjectName("owner");
        if (withMainWindow)
            setApplicationMainWindow(&main);
        Recorder recorder;
        ShowErrorBox(
            withOwner ? &owner : nullptr, std::string_view("Nicht genügend freier Speicher!"));
        QCOMPARE(recorder.shown.size(), std::size_t{1});
        const Shown& box = recorder.shown.front();
        QCOMPARE(box.owner ? box.owner->objectName() : QString(), expectedOwner);
        QCOMPARE(box.caption, QString("Fehler"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.text, QString::fromUtf8("Nicht genügend freier Speicher!"));
    }

    void errorBoxFallsBackWhenShowingFails()
    {
        QWidget main;
        setApplicationMainWindow(&main);
        QWidget owner;
        {
            Recorder<std::bad_alloc> recorder(1);
            ShowErrorBox(&owner, QString("text"));
            QCOMPARE(recorder.shown.size(), std::size_t{2});
            const Shown& fallBack = recorder.shown.back();
            QCOMPARE(fallBack.text, QString::fromUtf8("Nicht genügend freier Speicher !"));
            QCOMPARE(fallBack.caption, QString());
            QCOMPARE(fallBack.icon, QMessageBox::Critical);
            QCOMPARE(fallBack.owner, &main);
        }
        {
            Recorder<std::runtime_error> recorder(1);
            ShowErrorBox(&owner, QString("text"));
            QCOMPARE(recorder.shown.size(), std::size_t{2});
            QCOMPARE(recorder.shown.back().text, QString("Unbekannter Fehler aufgetreten !"));
        }
        {
            // When the fall-back fails too, the caller still goes on.
            Recorder<std::runtime_error> recorder(2);
            ShowErrorBox(nullptr, QString("text"));
            QCOMPARE(recorder.shown.size(), std::size_t{2});
        }
    }

    void showsARealErrorBox()
    {
        QDialog owner;
        owner.show();
        ModalCloser closer;
        {
            // Shown in the middle of a busy operation, the box waits with the arrow.
            WaitCursor busy;
            ShowErrorBox(&owner, std::string_view("Unbekannter Ausnahmefehler!"));
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QCOMPARE(closer.cursor.value_or(Qt::BlankCursor), Qt::ArrowCursor);
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(closer.seen);
        QCOMPARE(closer.title, QString("Fehler"));
        QCOMPARE(closer.icon, QMessageBox::Critical);
        QCOMPARE(closer.text, QString("Unbekannter Ausnahmefehler!"));
        QCOMPARE(closer.parent, &owner);
    }

    void notifierShowsPlainTextWithTheApplicationName()
    {
        QCoreApplication::setApplicationName("Sorvanel");
        QDialog active;
        active.setWindowModality(Qt::ApplicationModal);
        active.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &active);
        ModalCloser closer;
        MessageBoxNotifier notifier;
        notifier.notify("<no midi file changed>");
        QVERIFY(closer.seen);
        QCOMPARE(closer.title, QString("Sorvanel"));
        QCOMPARE(closer.icon, QMessageBox::Warning);
        QCOMPARE(closer.text, QString("<no midi file changed>"));
        QCOMPARE(closer.textFormat, Qt::PlainText);
        QCOMPARE(closer.parent, &active);
    }

    void waitCursorNests()
    {
        QVERIFY(!QGuiApplication::overrideCursor());
        {
            WaitCursor outer;
            {
                WaitCursor inner;
                QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            }
            QVERIFY(QGuiApplication::overrideCursor());
        }
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

QTEST_MAIN(MessageBoxesTest)
#include "MessageBoxesTest.moc"
