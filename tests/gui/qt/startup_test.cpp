// Start-up as a user sees it: the order in its effects, one copy per user and
// session (with real processes), the seams installed and removed, and the
// quit rule of the message pump.
#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

#include <filesystem>

#include "host/message_pump.h"
#include "host/messages.h"
#include "host/startup.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/zul_app.h"
#include "gui_test_support.h"
#include "testlib/program_state.h"
#include "testlib/temp_dir.h"
#include "ui/download/download_progress.h"

namespace zul::gui {
namespace {

// A copy of zul run as a separate process, watched through its window reports.
class ZulProcess {
public:
    ZulProcess(const zul::test::TempDir& dir, const QString& runtime) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("ZUL_REPORT_WINDOWS", "1");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(dir.path()));
        process.setProgram(ZUL_GUI_PATH);
        process.setArguments({"--settings", QString::fromStdString(dir / "zultw.ini"), "-nologo"});
    }
    ~ZulProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    void Start(const QStringList& more = {}) {
        process.setArguments(process.arguments() + more);
        process.start();
    }
    // Waits (bounded) until the main window is reported or the process ends.
    bool WaitShown(int ms = 15000) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            errors += process.readAllStandardError();
            if (errors.contains("shown CMainFrame")) return true;
            if (process.state() == QProcess::NotRunning) {
                errors += process.readAllStandardError();
                return errors.contains("shown CMainFrame");
            }
            process.waitForReadyRead(50);
        }
        return false;
    }
    QProcess process;
    QByteArray errors;
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
private:
    QString Runtime(const zul::test::TempDir& dir) {
        const QString runtime = QString::fromStdString(dir / "run");
        ::mkdir(runtime.toLocal8Bit().constData(), 0700);
        return runtime;
    }

    std::unique_ptr<zul::test::ScopedProgramState> state;

private slots:
    void init() { state = std::make_unique<zul::test::ScopedProgramState>(); }
    void cleanup() { state.reset(); }

    void startupLocatesTheSettingsFileAndLoadsThePort() {
        zul::test::TempDir dir;
        ::mkdir((dir / "prog").c_str(), 0755);
        dir.Write("prog/zultw.ini", "[Comm Strings]\nPort=COM12345\n[comm]\nPort=3\n");
        GuiSeams seams;
        GuiOptions options;
        options.nologo = true;
        CZULApp app(options, {dir / "prog", dir / "fallback/", Runtime(dir) + "/instance"});
        QVERIFY(app.InitInstance());
        QCOMPARE(SettingsFilePath(), dir / "prog/zultw.ini");
        const std::string stored = dir.Read("prog/zultw.ini");
        QVERIFY(stored.find("[WriteTest]\nVal=12345\n") != std::string::npos);
        QCOMPARE(std::string(CurrentPortSelection()->portName), std::string("COM12"));
        QCOMPARE(CurrentPortSelection()->portNumber, 3);
        QVERIFY(app.mainFrame() != nullptr);
        QVERIFY(app.mainFrame()->isVisible());
        QVERIFY(app.splash() == nullptr);
        QCOMPARE(QCoreApplication::organizationName(), QString("Brennic Corp"));
        QCOMPARE(QCoreApplication::applicationName(), QString("ZUL for KVR 7700"));
        // The core now talks to the window program.
        QCOMPARE(CurrentMainWindowTitle().GetTitle(), std::string("ZUL for KVR 7700"));
        CurrentMainWindowTitle().SetTitle("Downloading");
        QCOMPARE(app.mainFrame()->windowTitle(), QString("Downloading"));
        app.mainFrame()->startupTimer().stop();
        QCOMPARE(app.ExitInstance(0), 0);
        QVERIFY(CurrentPortSelection() == nullptr);
    }

    void aProgramDirectoryThatCannotHoldTheFileUsesTheFallback() {
        zul::test::TempDir dir;
        ::mkdir((dir / "prog").c_str(), 0755);
        ::mkdir((dir / "prog/zultw.ini").c_str(), 0755);  // unwritable as a file, even for root
        ::mkdir((dir / "fallback").c_str(), 0700);
        GuiSeams seams;
        GuiOptions options;
        options.nologo = true;
        CZULApp app(options, {dir / "prog", dir / "fallback/", Runtime(dir) + "/instance"});
        QVERIFY(app.InitInstance());
        app.mainFrame()->startupTimer().stop();
        QCOMPARE(SettingsFilePath(), dir / "fallback/zultw.ini");
        QCOMPARE(CurrentPortSelection()->portNumber, 1);
        QCOMPARE(std::string(CurrentPortSelection()->portName), std::string("COM1"));
        app.ExitInstance(0);
    }

    // The check comes before anything else: a second copy shows nothing and
    // does not even write the settings file's test entry.
    void aSecondCopyEndsBeforeAnythingElse() {
        zul::test::TempDir dir;
        ::mkdir((dir / "prog").c_str(), 0755);
        const QString name = Runtime(dir) + "/instance";
        SingleInstance first(name);
        QCOMPARE(first.Claim(), SingleInstance::Role::kFirst);
        QSignalSpy activations(&first, &SingleInstance::activationRequested);

        GuiSeams seams;
        GuiOptions options;  // with the splash
        CZULApp app(options, {dir / "prog", dir / "fallback/", name});
        QVERIFY(!app.InitInstance());
        QCOMPARE(app.exitCode(), 0);
        QVERIFY(app.mainFrame() == nullptr);
        QVERIFY(app.splash() == nullptr);
        QVERIFY(!std::filesystem::exists(dir / "prog/zultw.ini"));
        QVERIFY(activations.wait(5000));
    }

    void seamsAreInstalledForTheirScopeOnly() {
        MessageSink* before = &CurrentMessageSink();
        MessagePump* pumpBefore = &CurrentMessagePump();
        {
            test::RecordingSink sink;
            GuiSeams seams(&sink);
            QCOMPARE(&CurrentMessageSink(), static_cast<MessageSink*>(&sink));
            QVERIFY(&CurrentMessagePump() != pumpBefore);
            ShowMessage("text", "caption", kMbOk);
            QCOMPARE(sink.shown.size(), size_t(1));
        }
        QCOMPARE(&CurrentMessageSink(), before);
        QCOMPARE(&CurrentMessagePump(), pumpBefore);
    }

    // Pumping dispatches what waits; a quit during a long operation ends the
    // main loop once the operation has returned to it.
    void pumpDispatchesAndKeepsAQuit() {
        GuiSeams seams;
        int dispatched = 0;
        int pumpResult = -1;
        bool operationFinished = false;
        QTimer::singleShot(0, [&] {
            // The long operation: work, pump, work.
            QTimer::singleShot(0, [&] { ++dispatched; });
            QTimer::singleShot(0, [] { QCoreApplication::quit(); });
            pumpResult = PumpPendingMessages();
            operationFinished = true;
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        const int loop = QCoreApplication::exec();
        QCOMPARE(loop, 0);
        QVERIFY(operationFinished);
        QCOMPARE(dispatched, 1);
        QCOMPARE(pumpResult, 0);

        // Nothing pending: pumping returns 1 at once.
        QCOMPARE(PumpPendingMessages(), 1);
    }

    void aSecondProcessActivatesTheFirstAndEndsAtOnce() {
        zul::test::TempDir dir;
        const QString runtime = Runtime(dir);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        SingleInstance first(InstanceServerName());
        QCOMPARE(first.Claim(), SingleInstance::Role::kFirst);
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        ZulProcess second(dir, runtime);
        QElapsedTimer elapsed;
        elapsed.start();
        second.Start();
        QVERIFY(second.process.waitForFinished(10000) || second.process.state() == QProcess::NotRunning);
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY2(elapsed.elapsed() < 8000, "the second copy took long to end");
        QVERIFY(!second.process.readAllStandardError().contains("shown"));
        QVERIFY(activations.count() == 1 || activations.wait(5000));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    void twoCopiesStartedTogetherLeaveOne() {
        for (int round = 0; round < 3; ++round) {
            zul::test::TempDir dir;
            const QString runtime = Runtime(dir);
            ZulProcess a(dir, runtime), b(dir, runtime);
            a.Start();
            b.Start();
            // Each either shows its main window or ends with 0.
            const bool aShown = a.WaitShown();
            const bool bShown = b.WaitShown();
            QVERIFY2(aShown != bShown, (a.errors + b.errors).constData());
            ZulProcess& loser = aShown ? b : a;
            QVERIFY(loser.process.state() == QProcess::NotRunning || loser.process.waitForFinished(10000));
            QCOMPARE(loser.process.exitCode(), 0);
            ZulProcess& winner = aShown ? a : b;
            QCOMPARE(winner.process.state(), QProcess::Running);
            // The copy that runs was asked to come forward.
            QDeadlineTimer deadline(10000);
            while (!winner.errors.contains("activated by another start") && !deadline.hasExpired()) {
                winner.process.waitForReadyRead(50);
                winner.errors += winner.process.readAllStandardError();
            }
            QVERIFY2(winner.errors.contains("activated by another start"), winner.errors.constData());
        }
    }

    void aNameLeftByAKilledCopyDoesNotStopTheNext() {
        zul::test::TempDir dir;
        const QString runtime = Runtime(dir);
        {
            ZulProcess killed(dir, runtime);
            killed.Start();
            QVERIFY(killed.WaitShown());
            killed.process.kill();
            QVERIFY(killed.process.waitForFinished(5000));
        }
        // The socket is still there, with nobody behind it.
        bool leftOver = false;
        for (const QString& entry : QDir(runtime).entryList(QDir::System | QDir::Files))
            leftOver = leftOver || entry.startsWith("ZUL_487272AE-E8FD-4fae-AB4E-0BE8A8EEA401");
        QVERIFY(leftOver);
        ZulProcess next(dir, runtime);
        next.Start();
        QVERIFY2(next.WaitShown(), next.errors.constData());
    }

    // --simulate: the whole program against the simulated tester; a fault
    // that does not parse is refused before any window shows.
    void simulateOption() {
        zul::test::TempDir dir;
        const QString runtime = Runtime(dir);
        {
            ZulProcess simulated(dir, runtime);
            simulated.Start({"--simulate=refuse-block@3"});
            QVERIFY2(simulated.WaitShown(), simulated.errors.constData());
        }
        ZulProcess bad(dir, runtime);
        bad.Start({"--simulate=no-such-fault"});
        QVERIFY(bad.process.waitForFinished(10000) || bad.process.state() == QProcess::NotRunning);
        QCOMPARE(bad.process.exitCode(), 2);
        const QByteArray errors = bad.errors + bad.process.readAllStandardError();
        QVERIFY2(errors.contains("no-such-fault"), errors.constData());
        QVERIFY(!errors.contains("shown CMainFrame"));
    }
};

}  // namespace zul::gui

QTEST_MAIN(zul::gui::StartupTest)
#include "startup_test.moc"
