// The download dialog against the simulated tester in this process, in
// virtual time: the road from the main window's timer to the completion
// report, and the ways a download ends early.
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QtTest>

#include <map>
#include <memory>

#include "host/settings_store.h"
#include "host/startup.h"
#include "gui/qt/download_dialog.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/main_frame.h"
#include "gui/qt/setup_instructions_dlg.h"
#include "gui_test_support.h"
#include "sim/sim_faults.h"
#include "sim/tester_simulator.h"
#include "support/clock.h"
#include "tester/link_setup.h"
#include "testlib/program_state.h"
#include "testlib/temp_dir.h"
#include "testlib/image_fixtures.h"
#include "testlib/script_fixtures.h"
#include "testlib/tester_simulated_link.h"
#include "ui/download/download_texts.h"

using namespace zul;
using namespace zul::gui;
using zul::gui::test::RecordingSink;

namespace {

// A test's window actions end with the test: one still waiting for a window
// that never came must not act on the next test's windows.
int g_generation = 0;

template <typename T>
void WhenShown(std::function<void(T*)> act) {
    zul::gui::test::WhenShown<T>([act, generation = g_generation](T* w) {
        if (generation == g_generation) act(w);
    });
}

// What one run of the dialog showed.
struct Seen {
    std::vector<int> totals;       // the total bar, each new value
    int currentMax = 0;            // the current-file bar's highest value
    QStringList titles;            // the main window's titles
    bool dialogControlsOffDuringDownload = true;
    bool cancelOnDuringDownload = true;
    bool progressStayedAfterCancel = false;  // until the flow's message
    bool downloadOnAfter = false;
    int selectedAfter = -1;
    bool rowsShown = false;
    QStringList rows;
};

}  // namespace

class DownloadDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<zul::test::ScopedProgramState> state_;
    std::unique_ptr<zul::test::TempDir> dir_;
    std::unique_ptr<VirtualClock> clock_;
    std::unique_ptr<sim::TesterSimulator> tester_;
    std::unique_ptr<RecordingSink> sink_;
    std::unique_ptr<GuiSeams> seams_;
    std::unique_ptr<CMainFrame> frame_;
    int linksOpened_ = 0;

    void StartTester(const std::vector<std::string>& faults = {}) {
        sim::SimOptions options;
        for (const auto& text : faults) {
            sim::Fault fault;
            std::string why;
            QVERIFY2(sim::ParseFault(text, &fault, &why), why.c_str());
            options.faults.push_back(fault);
        }
        tester_ = std::make_unique<sim::TesterSimulator>(options);
    }

    // The dialog over the main window as its timer opens it; `act` runs once
    // the list is up, from the dialog's own event loop, and closes it.
    void RunFromTimer(const std::function<void(CDownloadDlg*)>& act) {
        WhenShown<CSetupInstructionsDlg>([](CSetupInstructionsDlg* d) { d->okButton()->click(); });
        WhenShown<CDownloadDlg>([act](CDownloadDlg* d) {
            act(d);
            d->closeButton()->click();
        });
        frame_->startupTimer().setInterval(0);
        frame_->startupTimer().start();
        QTRY_VERIFY_WITH_TIMEOUT(!frame_->startupTimer().isActive(), 5000);
    }

    static int Row(CDownloadDlg* d, const QString& name) {
        for (int i = 0; i < d->list()->topLevelItemCount(); ++i)
            if (d->list()->topLevelItem(i)->text(0) == name) return i;
        return -1;
    }

    static void Select(CDownloadDlg* d, const QString& name) {
        const int row = Row(d, name);
        QVERIFY(row >= 0);
        d->list()->setFocus();
        d->list()->setCurrentItem(d->list()->topLevelItem(row));
        d->list()->topLevelItem(row)->setSelected(true);
    }

    // Watches the progress dialog and the title during a download.
    void Watch(CDownloadDlg* d, Seen& seen, int cancelAt = -1) {
        connect(frame_.get(), &QWidget::windowTitleChanged, d, [&seen](const QString& t) { seen.titles << t; });
        connect(d, &CDownloadDlg::progressOpened, d, [d, &seen, cancelAt](CWorkingDlg* w) {
            connect(w->currentBar(), &QProgressBar::valueChanged, w,
                    [&seen](int v) { seen.currentMax = std::max(seen.currentMax, v); });
            connect(w, &CWorkingDlg::totalChanged, w, [d, w, &seen, cancelAt](int total) {
                seen.totals.push_back(total);
                if (d->list()->isEnabled() || d->closeButton()->isEnabled() || d->downloadButton()->isEnabled() ||
                    d->comPortButton()->isEnabled())
                    seen.dialogControlsOffDuringDownload = false;
                if (!w->cancelButton()->isEnabled() || !w->isVisible()) seen.cancelOnDuringDownload = false;
                if (cancelAt >= 0 && total >= cancelAt && DownloadCancelFlag.load() == 0) {
                    // As a user would: Escape on the progress dialog.
                    QCoreApplication::postEvent(w->cancelButton(),
                                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                }
            });
        });
    }

    void Download(CDownloadDlg* d, Seen& seen) {
        seen.rowsShown = true;
        for (int i = 0; i < d->list()->topLevelItemCount(); ++i) seen.rows << d->list()->topLevelItem(i)->text(0);
        d->downloadButton()->click();
        seen.downloadOnAfter = d->downloadButton()->isEnabled();
        seen.selectedAfter = static_cast<int>(d->list()->selectedItems().size());
    }

    QStringList Texts() const {
        QStringList out;
        for (const auto& s : sink_->shown) out << QString::fromStdString(s.text);
        return out;
    }

private slots:
    void init() {
        state_ = std::make_unique<zul::test::ScopedProgramState>();
        dir_ = std::make_unique<zul::test::TempDir>();
        SetSettingsFilePath(*dir_ / "zultw.ini");
        SettingsStore settings(SettingsFilePath());
        settings.WriteScriptDir(dir_->path().c_str());
        settings.WriteImageDir(dir_->path().c_str());
        auto selection = std::make_unique<PortSelection>();
        selection->portNumber = 2;
        SetCurrentPortSelection(std::move(selection));
        clock_ = std::make_unique<VirtualClock>(1000);
        StartTester();
        linksOpened_ = 0;
        sink_ = std::make_unique<RecordingSink>();
        FrontEnd frontEnd;
        frontEnd.clock = clock_.get();
        frontEnd.messageSink = sink_.get();
        frontEnd.inProcessSimulator = true;
        frontEnd.linkOpener = [this](int, std::unique_ptr<TesterLink>* link) {
            ++linksOpened_;
            *link = std::make_unique<zul::test::SimulatedLink>(*tester_);
            return zul::LinkOpenResult::Ok;
        };
        seams_ = std::make_unique<GuiSeams>(frontEnd);
        frame_ = std::make_unique<CMainFrame>();
        frame_->startupTimer().stop();
        frame_->show();
        GuiSeams::SetMainWindow(frame_.get());
    }

    void cleanup() {
        ++g_generation;
        frame_.reset();
        CloseTesterLink();
        seams_.reset();
        tester_.reset();
        clock_.reset();
        dir_.reset();
        state_.reset();
    }

    // From the main window's timer to the completion report: the list, a
    // message statement on the way, both bars and the title moving, the
    // selection cleared at the end.
    void wholeRoadFromTheTimer() {
        zul::test::WriteImage(*dir_ / "ram.bin", zul::test::ImageBytes(4096, 1));
        const auto flash = zul::test::ImageBytes(16384, 2);
        zul::test::WriteImage(*dir_ / "flash.bin", flash);
        zul::test::WriteScript(*dir_ / "b.qob", "Demo Flash", "2.1",
                               {"!Keep the tester powered.", "ram.bin 20000 -RAM", "flash.bin 100000 -FLASH"});
        zul::test::WriteScript(*dir_ / "a.qob", "alpha tools", "1.0", {"ram.bin 20000 -RAM"});
        zul::test::WriteScript(*dir_ / "c.qob", "No statements", "1.0", {});
        Seen seen;
        RunFromTimer([&](CDownloadDlg* d) {
            QCOMPARE(d->windowTitle(), QString("Select Application(s) to Download"));
            QVERIFY(!d->downloadButton()->isEnabled());
            Select(d, "Demo Flash");
            QVERIFY(d->downloadButton()->isEnabled());
            Watch(d, seen);
            sink_->shown.clear();
            Download(d, seen);
        });
        QCOMPARE(seen.rows, QStringList({"alpha tools", "Demo Flash"}));
        QVERIFY(tester_->memory().ReadFlash(0x100000, 16384) == flash);
        const QStringList texts = Texts();
        QCOMPARE(texts.size(), 3);
        QCOMPARE(texts[0], QString(kConfirmDownload.text));
        QCOMPARE(texts[1], QString("!Keep the tester powered."));
        QVERIFY2(texts[2].startsWith("Download complete in ") && texts[2].endsWith(" seconds\n"), qPrintable(texts[2]));
        QCOMPARE(QString::fromStdString(sink_->shown[2].caption), QString(kCompleteCaption));
        // Both bars moved up to 100, and the title followed the total.
        QVERIFY(seen.totals.size() >= 10);
        QVERIFY(seen.totals.back() >= 99);
        QVERIFY(std::is_sorted(seen.totals.begin(), seen.totals.end()));
        QCOMPARE(seen.currentMax, 100);
        QVERIFY(seen.titles.contains("ZUL - Downloading (50%)"));
        QVERIFY(seen.titles.contains("Download Complete"));
        QCOMPARE(seen.titles.back(), QString("ZUL for KVR 7700"));
        QCOMPARE(frame_->windowTitle(), QString("ZUL for KVR 7700"));
        QVERIFY(seen.dialogControlsOffDuringDownload);
        QVERIFY(seen.cancelOnDuringDownload);
        QCOMPARE(seen.selectedAfter, 0);
        QVERIFY(!seen.downloadOnAfter);
        // Once for the query, once for the download; closed again.
        QCOMPARE(linksOpened_, 2);
    }

    // A failed download keeps the dialog open with its selection; the ways a
    // download ends early each show their message.
    void downloadEndsEarly_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused block") << QStringList{"refuse-block@200"} << -1 << "Software not updated";
        QTest::newRow("cancel in the progress dialog") << QStringList{} << 30 << "Download aborted";
    }
    void downloadEndsEarly() {
        QFETCH(QStringList, faults);
        QFETCH(int, cancelAt);
        QFETCH(QString, message);
        std::vector<std::string> list;
        for (const QString& f : faults) list.push_back(f.toStdString());
        StartTester(list);
        zul::test::WriteImage(*dir_ / "flash.bin", zul::test::ImageBytes(32768, 3));
        zul::test::WriteScript(*dir_ / "a.qob", "Demo Flash", "2.1", {"flash.bin 100000 -FLASH"});
        Seen seen;
        bool stillOpen = false;
        QString selected;
        RunFromTimer([&](CDownloadDlg* d) {
            sink_->onShow = [d, &seen](const zul::gui::test::Shown& shown) {
                if (shown.text == "Download aborted" && d->working() != nullptr && d->working()->isVisible())
                    seen.progressStayedAfterCancel = true;
            };
            Select(d, "Demo Flash");
            Watch(d, seen, cancelAt);
            sink_->shown.clear();
            Download(d, seen);
            stillOpen = d->isVisible() && d->list()->isEnabled() && d->working() == nullptr;
            if (!d->list()->selectedItems().isEmpty()) selected = d->list()->selectedItems().front()->text(0);
        });
        const QStringList texts = Texts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[1], message);
        QCOMPARE(QString::fromStdString(sink_->shown[1].caption), QString(message == "Download aborted" ? "Message" : "Error"));
        QVERIFY(stillOpen);
        QCOMPARE(selected, QString("Demo Flash"));
        QVERIFY(seen.downloadOnAfter);
        QVERIFY(!seen.titles.contains("Download Complete"));
        QCOMPARE(frame_->windowTitle(), QString("ZUL for KVR 7700"));
        if (cancelAt >= 0) {
            QVERIFY(seen.progressStayedAfterCancel);
            QVERIFY(seen.totals.back() < 100);
        }
    }

    // The report's two forms, from the flow's clock: the message statement
    // at the end of the script is where the test lets 59 or 61 seconds pass.
    void completionReportFollowsTheClock_data() {
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<QString>("report");
        QTest::newRow("59 s") << 59500 << "Download complete in 59 seconds\n";
        QTest::newRow("61 s") << 61200
                              << "Download complete in 1  minute(s) 1 seconds\n\n"
                                 "Cycle power on your tester and press OK to finish.";
    }
    void completionReportFollowsTheClock() {
        QFETCH(int, elapsedMs);
        QFETCH(QString, report);
        zul::test::WriteImage(*dir_ / "ram.bin", zul::test::ImageBytes(2048, 4));
        zul::test::WriteScript(*dir_ / "a.qob", "Quick", "1.0", {"ram.bin 20000 -RAM", "!All sent."});
        std::uint32_t start = 0;
        sink_->onShow = [&](const zul::gui::test::Shown& shown) {
            if (shown.text == "!All sent.") clock_->Advance(start + elapsedMs - clock_->TickCount());
        };
        RunFromTimer([&](CDownloadDlg* d) {
            connect(d, &CDownloadDlg::progressOpened, d, [&] { start = clock_->TickCount(); });
            Select(d, "Quick");
            d->downloadButton()->click();
        });
        QCOMPARE(QString::fromStdString(sink_->shown.back().text), report);
        QCOMPARE(sink_->shown.back().type, kMbOk | kMbIconInformation);
    }

    // A tester that is not a "ZIZ2" (or none at all): the message, and the
    // dialog closes without showing its list.
    void identificationFailureClosesTheDialog_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("wrong identifier") << "wrong-id=ZIZ1";
        QTest::newRow("silent tester") << "silent";
    }
    void identificationFailureClosesTheDialog() {
        QFETCH(QString, fault);
        StartTester({fault.toStdString()});
        zul::test::WriteImage(*dir_ / "ram.bin", zul::test::ImageBytes(2048, 4));
        zul::test::WriteScript(*dir_ / "a.qob", "Quick", "1.0", {"ram.bin 20000 -RAM"});
        bool listShown = false;
        RunFromTimer([&](CDownloadDlg*) { listShown = true; });
        QVERIFY(!listShown);
        QCOMPARE(Texts(), QStringList({kQueryNoZiz2.text}));
        QCOMPARE(QString::fromStdString(sink_->shown[0].caption), QString("Error"));
        QCOMPARE(linksOpened_, 1);
    }

    // Cancel in the instructions: no port is touched, no list.
    void cancelInTheInstructionsTouchesNoPort() {
        WhenShown<CSetupInstructionsDlg>([](CSetupInstructionsDlg* d) {
            QCOMPARE(d->windowTitle(), QString("Set up KVR 7700 for Download"));
            QCOMPARE(d->instructions().size(), 4);
            QVERIFY(d->instructions()[0] == "1.  Power the KVR 7700 with the AC/DC adapter.");
            QVERIFY(d->instructions()[3].startsWith("4.  Hold down the Up Arrow key"));
            d->cancelButton()->click();
        });
        bool listShown = false;
        WhenShown<CDownloadDlg>([&](CDownloadDlg* d) {
            listShown = true;
            d->reject();
        });
        OpenDownloadDialog(frame_.get());
        QVERIFY(!listShown);
        QCOMPARE(linksOpened_, 0);
        QVERIFY(sink_->shown.empty());
    }

    // An empty application directory: the message under the header, and no
    // Download; the message goes as soon as a row exists.
    void emptyDirectoryShowsTheMessage() {
        RunFromTimer([&](CDownloadDlg* d) {
            QCOMPARE(d->list()->topLevelItemCount(), 0);
            QVERIFY(!d->downloadButton()->isEnabled());
            const QRect area = d->list()->EmptyMessageRect();
            QVERIFY(!area.isEmpty());
            // 10 pixels under the header (the viewport starts where it ends).
            QCOMPARE(area.top(), 10);
            QCOMPARE(d->list()->viewport()->mapTo(d->list(), QPoint(0, 0)).y(),
                     d->list()->header()->geometry().bottom() + 1);
            QCOMPARE(d->list()->emptyMessage, QString("No applications available."));
            new QTreeWidgetItem(d->list(), {"x", "1"});
            QVERIFY(d->list()->EmptyMessageRect().isEmpty());
        });
    }

    // Percentages are clamped, and a line is rewritten only when it changes;
    // Escape and the close box only raise the flag.
    void progressDialogRules() {
        std::atomic<int> flag{0};
        CWorkingDlg w(&flag, frame_.get(), nullptr, nullptr);
        QCOMPARE(w.windowTitle(), QString("Working"));
        QCOMPARE(w.statusLine()->text(), QString("Click Cancel to cancel the operation"));
        w.SetCurrentPercent(-5);
        QCOMPARE(w.currentBar()->value(), 0);
        QCOMPARE(w.currentLine()->text(), QString("Current file: 0% Complete"));
        w.SetTotalPercent(250);
        QCOMPARE(w.totalBar()->value(), 100);
        QCOMPARE(w.totalLine()->text(), QString("Total download: 100% Complete"));
        const int writes = w.lineWrites();
        w.SetTotalPercent(100);
        w.SetCurrentPercent(0);
        QCOMPARE(w.lineWrites(), writes);
        QTest::keyClick(&w, Qt::Key_Escape);
        QCOMPARE(flag.load(), 1);
        QVERIFY(w.isVisible());
        flag = 0;
        QVERIFY(!w.close());
        QCOMPARE(flag.load(), 1);
        QVERIFY(w.isVisible());
        w.Close();
        QVERIFY(!w.isVisible());
        w.SetTotalPercent(7);  // too late: nothing happens
        QCOMPARE(w.totalBar()->value(), 100);
    }

    // Minimising the progress dialog takes the main window along; restoring
    // it brings the main window back.
    void minimisingTheProgressDialogMinimisesTheMainWindow() {
        std::atomic<int> flag{0};
        CWorkingDlg w(&flag, frame_.get(), "Download Progress", nullptr);
        w.setWindowState(Qt::WindowMinimized);
        QVERIFY(frame_->isMinimized());
        w.setWindowState(Qt::WindowNoState);
        QVERIFY(!frame_->isMinimized());
    }

    // The dialog's own registration: dragged 40 wider and 30 taller, the
    // list and its frame stretch, the buttons, icon and warning lines go 30
    // down only; smaller than designed is refused.
    void resizingFollowsTheTable() {
        CDownloadDlg d(frame_.get());
        d.show();
        QTRY_VERIFY(d.isVisible());
        const QSize designed = d.size();
        std::map<int, QRect> before;
        for (int id : {kIdList, kIdFrame, kIdDownload, kIdClose, kIdSetupComPort, kIdWarningIcon, kIdWarning,
                       kIdScreensavers})
            before[id] = d.control(id)->geometry();
        const QRect grip = d.sizeGrip()->geometry();
        d.resize(designed + QSize(40, 30));
        QTRY_COMPARE(d.size(), designed + QSize(40, 30));
        for (int id : {kIdList, kIdFrame})
            QCOMPARE(d.control(id)->geometry(), before[id].adjusted(0, 0, 40, 30));
        for (int id : {kIdDownload, kIdClose, kIdSetupComPort, kIdWarningIcon, kIdWarning, kIdScreensavers})
            QCOMPARE(d.control(id)->geometry(), before[id].translated(0, 30));
        QCOMPARE(d.sizeGrip()->geometry(), grip.translated(40, 30));
        QCOMPARE(d.minimumSize(), designed);
    }

    // Keys as on any dialog: mnemonics, the tab order, Enter on Download,
    // Escape closes. (The X11 test presses the mnemonics on a real display.)
    void keyboard() {
        zul::test::WriteImage(*dir_ / "ram.bin", zul::test::ImageBytes(2048, 4));
        zul::test::WriteScript(*dir_ / "a.qob", "Quick", "1.0", {"ram.bin 20000 -RAM"});
        bool closedByEscape = false;
        WhenShown<CSetupInstructionsDlg>([](CSetupInstructionsDlg* d) {
            QCOMPARE(QKeySequence::mnemonic(d->comPortButton()->text()), QKeySequence(Qt::ALT | Qt::Key_C));
            QTest::keyClick(d, Qt::Key_Return);
        });
        WhenShown<CDownloadDlg>([&](CDownloadDlg* d) {
            KeyboardSteps(d);
            QTest::keyClick(d, Qt::Key_Escape);
            closedByEscape = !d->isVisible();
            if (d->isVisible()) d->done(QDialog::Rejected);
        });
        OpenDownloadDialog(frame_.get());
        QVERIFY(closedByEscape);
    }

private:
    void KeyboardSteps(CDownloadDlg* d) {
        QCOMPARE(QKeySequence::mnemonic(d->downloadButton()->text()), QKeySequence(Qt::ALT | Qt::Key_D));
        QCOMPARE(QKeySequence::mnemonic(d->comPortButton()->text()), QKeySequence(Qt::ALT | Qt::Key_C));
        QCOMPARE(QKeySequence::mnemonic(d->closeButton()->text()), QKeySequence(Qt::ALT | Qt::Key_L));
        auto* label = d->findChild<QLabel*>("listLabel");
        QVERIFY(label != nullptr && label->buddy() == d->list());
        QCOMPARE(QKeySequence::mnemonic(label->text()), QKeySequence(Qt::ALT | Qt::Key_A));
        d->activateWindow();
        QTRY_VERIFY(d->isActiveWindow());
        QVERIFY(d->list()->hasFocus());
        // Space selects the row under the focus, which enables Download.
        QTest::keyClick(d->list(), Qt::Key_Space);
        QVERIFY(d->downloadButton()->isEnabled());
        QWidget* order[] = {d->list(), d->downloadButton(), d->closeButton(), d->comPortButton()};
        for (int i = 1; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), order[i]);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), d->list());
        sink_->answers = {kIdCancel};  // the confirmation, declined
        QTest::keyClick(d->list(), Qt::Key_Return);
        QCOMPARE(Texts(), QStringList({kConfirmDownload.text}));
    }
};

QTEST_MAIN(DownloadDialogTest)
#include "download_dialog_test.moc"
