#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

const QString title = "Sorvanel  -  Delete SysEx events from midi files";

} // namespace

/// Starts the real program as separate processes, each in a home and runtime folder of the
/// test's own, so no real user's settings or running copy are touched.
class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.reset(new QTemporaryDir);
        // Socket paths are short: keep the runtime folder near the root.
        m_runtime.reset(new QTemporaryDir("/tmp/sorvanel-XXXXXX"));
        QVERIFY(m_home->isValid());
        QVERIFY(m_runtime->isValid());
        QFile::setPermissions(m_runtime->path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void cleanup()
    {
        for (QProcess* process : std::as_const(m_processes)) {
            process->kill();
            process->waitForFinished(5000);
        }
        qDeleteAll(m_processes);
        m_processes.clear();
    }

    void secondStartHandsOverAndEnds()
    {
        QProcess* first = start();
        QVERIFY(waitUntilAnswering());

        QElapsedTimer clock;
        clock.start();
        QProcess* second = start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        qInfo() << "second start ended after" << clock.elapsed() << "ms";
        QCOMPARE(first->state(), QProcess::Running);
        // The first copy still shows its language chooser and has stored nothing either.
        QVERIFY(settingsFiles().isEmpty());
    }

    void startReplacesTheSocketOfAKilledCopy()
    {
        QProcess* killed = start();
        QVERIFY(waitUntilAnswering());
        killed->kill();
        QVERIFY(killed->waitForFinished(5000));
#ifndef _WIN32 // a named pipe goes with its owner
        QVERIFY(QFileInfo::exists(socketPath()));
#endif

        QProcess* next = start();
        QVERIFY(waitUntilAnswering());
        QProcess* second = start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(next->state(), QProcess::Running);
    }

private:
    QProcess* start()
    {
        auto* process = new QProcess;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home->path());
        environment.insert("XDG_CONFIG_HOME", m_home->filePath(".config"));
        environment.insert("XDG_RUNTIME_DIR", m_runtime->path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(SORVANEL_EXECUTABLE, {});
        m_processes.append(process);
        return process;
    }

    QString socketPath() const
    {
#ifdef _WIN32
        return QStringLiteral("%1-%2").arg(title, qEnvironmentVariable("USERNAME"));
#else
        return QDir(m_runtime->path()).filePath(QStringLiteral("%1-%2").arg(title).arg(::getuid()));
#endif
    }

    /// Whether a copy answers on the socket within a generous time (sanitizer builds start
    /// slowly). The probe asks for nothing, so it raises nothing.
    bool waitUntilAnswering()
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            QLocalSocket probe;
            probe.connectToServer(socketPath());
            if (probe.waitForConnected(200)) {
                probe.disconnectFromServer();
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

    QStringList settingsFiles() const
    {
        QStringList files;
        QDir config(m_home->filePath(".config"));
        if (config.exists())
            for (const QFileInfo& entry :
                config.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                files.append(entry.fileName());
        return files;
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_runtime;
    QList<QProcess*> m_processes;
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
