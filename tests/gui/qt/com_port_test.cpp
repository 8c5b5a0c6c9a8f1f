// "Select COM Port", the COM port test from the File menu with its status
// window, and the message boxes the core's questions become.
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "host/settings_store.h"
#include "host/startup.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/main_frame.h"
#include "gui/qt/select_com_port_dialog.h"
#include "gui/qt/status_dlg.h"
#include "gui_test_support.h"
#include "serial/device_names.h"
#include "support/clock.h"
#include "testlib/program_state.h"
#include "testlib/serial_pty.h"
#include "testlib/temp_dir.h"
#include "ui/ports/device_map.h"
#include "ui/front_end.h"

namespace zul::gui {
namespace {

// The system clock, noting at every sleep whether a painted status window
// with the test's text is on screen.
class WatchingClock final : public Clock {
public:
    std::uint32_t TickCount() override { return SystemClock().TickCount(); }
    void Sleep(std::uint32_t ms) override {
        if (CStatusDlg* status = test::FindWindow<CStatusDlg>())
            if (status->painted() && status->text() == "Performing COM port test...") ++sleepsUnderStatus;
        ++sleeps;
        if (duringWork) duringWork();
        SystemClock().Sleep(ms);
    }
    int sleeps = 0;
    int sleepsUnderStatus = 0;
    std::function<void()> duringWork;
};

}  // namespace

class ComPortTest : public QObject {
    Q_OBJECT
private:
    void UseSettings(const std::string& contents) {
        dir = std::make_unique<zul::test::TempDir>();
        dir->Write("zultw.ini", contents);
        SetSettingsFilePath(*dir / "zultw.ini");
        SetCurrentPortSelection(std::make_unique<PortSelection>(LoadPortSelection(SettingsFilePath())));
    }
    std::string Stored() { return dir->Read("zultw.ini"); }
    static FrontEnd SettingsDevices() {
        FrontEnd frontEnd;
        frontEnd.deviceMap = &SettingsDeviceForComNumber;
        return frontEnd;
    }
    std::unique_ptr<zul::test::ScopedProgramState> state;
    // COM numbers looked up in the test's settings file, also for the
    // dialogs a test shows without the window program's seams.
    std::unique_ptr<FrontEndScope> devices;
    std::unique_ptr<zul::test::TempDir> dir;

private slots:
    void init() {
        state = std::make_unique<zul::test::ScopedProgramState>();
        devices = std::make_unique<FrontEndScope>(SettingsDevices());
    }
    void cleanup() {
        devices.reset();
        state.reset();
    }

    void storedNumberOutsideTheListSelectsCom1() {
        const struct {
            const char* stored;
            int index;
        } kTable[] = {{"0", 0}, {"11", 0}, {"x", 0}, {"4", 3}, {"10", 9}};
        for (const auto& row : kTable) {
            UseSettings(std::string("[comm]\nPort=") + row.stored + "\n");
            SelectComPortDialog dialog(SettingsStore(SettingsFilePath()), nullptr);
            QCOMPARE(dialog.windowTitle(), QString("Select COM Port"));
            QCOMPARE(dialog.list()->count(), 10);
            QCOMPARE(dialog.list()->currentIndex(), row.index);
        }
    }

    void entriesShowTheDeviceEachNumberOpens() {
        UseSettings("[Devices]\nCOM3=/dev/ttyUSB0\n");
        SelectComPortDialog dialog(SettingsStore(SettingsFilePath()), nullptr);
        QCOMPARE(dialog.list()->itemText(0), QString("COM1 (/dev/ttyS0)"));
        QCOMPARE(dialog.list()->itemText(2), QString("COM3 (/dev/ttyUSB0)"));
        QCOMPARE(dialog.list()->itemText(9), QString("COM10 (/dev/ttyS9)"));
        QCOMPARE(ComPortEntryText(4, "\\\\.\\COM4"), QString("COM4"));
        QCOMPARE(ComPortEntryText(4, ""), QString("COM4"));
        // Nothing is cut off.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.list()->width() >= dialog.list()->sizeHint().width());
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) QVERIFY(b->width() >= b->sizeHint().width());
    }

    void okStoresBothKeysAndTheSelection() {
        UseSettings("[comm]\nPort=2\n");
        SelectComPortDialog dialog(SettingsStore(SettingsFilePath()), nullptr);
        dialog.list()->setCurrentIndex(9);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        SettingsStore store(SettingsFilePath());
        QCOMPARE(store.ReadValue("comm", "Port", ""), std::string("10"));
        QCOMPARE(store.ReadValue("Comm Strings", "Port", ""), std::string("COM10"));
        QCOMPARE(std::string(CurrentPortSelection()->portName), std::string("COM10"));
        QCOMPARE(CurrentPortSelection()->portNumber, 10);
    }

    void cancelAfterATestStoresNothing() {
        UseSettings("[comm]\nPort=2\n[Comm Strings]\nPort=COM2\n");
        const std::string before = Stored();
        zul::test::PtyPair pty;
        QVERIFY(pty.ok());
        SettingsStore(SettingsFilePath()).WriteValue("Devices", "COM5", pty.slavePath().c_str());
        const std::string withDevice = Stored();
        pty.StartEcho();
        test::RecordingSink sink;
        GuiSeams seams(&sink);
        SelectComPortDialog dialog(SettingsStore(SettingsFilePath()), nullptr);
        dialog.show();
        dialog.list()->setCurrentIndex(4);
        // The test runs on the port chosen in the list (COM5, the echoing pty).
        QTest::mouseClick(dialog.testButton(), Qt::LeftButton);
        QCOMPARE(sink.shown.size(), size_t(3));
        QCOMPARE(sink.shown.back().caption, std::string("Success"));
        QCOMPARE(pty.echoReceived(), size_t(256));
        dialog.reject();
        QCOMPARE(Stored(), withDevice);
        QCOMPARE(CurrentPortSelection()->portNumber, 2);
        Q_UNUSED(before);
    }

    void keyboardUse() {
        UseSettings("[comm]\nPort=1\n");
        GuiSeams seams;
        SelectComPortDialog dialog(SettingsStore(SettingsFilePath()), nullptr);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.list()));
        QTest::keyClick(dialog.list(), Qt::Key_Down);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(SettingsStore(SettingsFilePath()).ReadValue("comm", "Port", "none"), std::string("1"));
        dialog.show();
        dialog.list()->setCurrentIndex(2);
        QTest::keyClick(dialog.list(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(SettingsStore(SettingsFilePath()).ReadValue("comm", "Port", ""), std::string("3"));
    }

    // File > Test COM Port: the stored port, the status window shown and
    // painted while the loopback runs, closed afterwards.
    void testCommandUsesTheStoredPortUnderTheStatusWindow() {
        zul::test::PtyPair pty;
        QVERIFY(pty.ok());
        UseSettings("[comm]\nPort=7\n[Comm Strings]\nPort=COM2\n[Devices]\nCOM7=" + pty.slavePath() + "\n");
        pty.StartEcho();
        test::RecordingSink sink;
        WatchingClock clock;
        FrontEnd frontEnd;
        frontEnd.messageSink = &sink;
        frontEnd.clock = &clock;
        GuiSeams seams(frontEnd);
        CMainFrame frame;
        frame.startupTimer().stop();
        int downloads = 0;
        frame.setDownloadDialog([&](QWidget*) { ++downloads; });
        frame.show();
        // A command that arrives while the test pumps events is ignored, as
        // on a disabled window: it does not run in the middle of the test.
        clock.duringWork = [&] { frame.action(kCmdDownload)->trigger(); };
        frame.action(kCmdTestComPort)->trigger();
        clock.duringWork = nullptr;
        QCOMPARE(downloads, 0);
        frame.action(kCmdDownload)->trigger();
        QCOMPARE(downloads, 1);
        QCOMPARE(sink.shown.size(), size_t(3));
        QCOMPARE(sink.shown[0].caption, std::string("COM Port Test"));
        QCOMPARE(sink.shown[1].caption, std::string("Setup"));
        QCOMPARE(sink.shown[2].text, std::string("TEST PASSED\n\nRemember to remove the self-test adapter."));
        QVERIFY(clock.sleeps > 0);
        QCOMPARE(clock.sleepsUnderStatus, clock.sleeps);
        QVERIFY(test::FindWindow<CStatusDlg>() == nullptr);

        // Cancel on the first question: no status window, no test.
        sink.shown.clear();
        sink.answers = {kIdCancel};
        clock.sleeps = 0;
        frame.action(kCmdTestComPort)->trigger();
        QCOMPARE(sink.shown.size(), size_t(1));
        QCOMPARE(clock.sleeps, 0);
        QCOMPARE(pty.echoReceived(), size_t(256));
    }

    void statusWindow() {
        CStatusDlg status(nullptr, nullptr);
        QCOMPARE(status.windowTitle(), QString("Status"));
        QCOMPARE(status.text(), QString("One moment please..."));
        QVERIFY(status.isVisible());
        QVERIFY(status.painted());
        QVERIFY(!(status.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(status.windowFlags() & Qt::WindowSystemMenuHint));
        QCOMPARE(status.findChild<QLabel*>("statusText")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        // Neither Escape nor a close request ends it.
        QTest::keyClick(&status, Qt::Key_Escape);
        status.close();
        QVERIFY(status.isVisible());
        status.Close();
        QVERIFY(!status.isVisible());
        status.Close();

        // Centred on a visible owner.
        QWidget owner;
        owner.setGeometry(100, 100, 600, 400);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        CStatusDlg over("Performing COM port test...", &owner);
        QVERIFY2((over.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength() <= 4,
                 qPrintable(QString("%1,%2 vs %3,%4").arg(over.frameGeometry().center().x()).arg(over.frameGeometry().center().y()).arg(owner.frameGeometry().center().x()).arg(owner.frameGeometry().center().y())));
        QVERIFY(over.findChild<QLabel*>("statusText")->width() >=
                over.findChild<QLabel*>("statusText")->sizeHint().width());
    }

    // The core's message types become boxes with these buttons and icons, and
    // the button pressed comes back as the core's number.
    void messageBoxesReturnTheButtonPressed() {
        const struct {
            unsigned type;
            QMessageBox::Icon icon;
            int buttons;
            Qt::Key key;
            int result;
        } kTable[] = {
            {kMbOkCancel | kMbIconQuestion, QMessageBox::Question, 2, Qt::Key_Escape, kIdCancel},
            {kMbOkCancel | kMbIconInformation, QMessageBox::Information, 2, Qt::Key_Return, kIdOk},
            {kMbIconError, QMessageBox::Critical, 1, Qt::Key_Return, kIdOk},
            {kMbIconInformation, QMessageBox::Information, 1, Qt::Key_Escape, kIdOk},
            {kMbYesNo | kMbIconWarning, QMessageBox::Warning, 2, Qt::Key_Return, kIdYes},
            {kMbYesNo | kMbIconWarning, QMessageBox::Warning, 2, Qt::Key_Escape, kIdNo},
        };
        GuiSeams seams;
        for (const auto& row : kTable) {
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            int buttons = 0;
            QString text;
            test::WhenShown<QMessageBox>([&](QMessageBox* box) {
                icon = box->icon();
                buttons = static_cast<int>(box->buttons().size());
                text = box->text();
                QTest::keyClick(box, row.key);
            });
            const int result = ShowResourceMessage(kIdsComTestFailed, kIdsError, row.type);
            QCOMPARE(result, row.result);
            QCOMPARE(icon, row.icon);
            QCOMPARE(buttons, row.buttons);
            QCOMPARE(text, QString("** TEST FAILED ** \n\nCheck self-test adapter connection and COM port selection."));
        }
    }
};

}  // namespace zul::gui

QTEST_MAIN(zul::gui::ComPortTest)
#include "com_port_test.moc"
