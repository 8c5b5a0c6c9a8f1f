// The main window: menus, accelerators, status bar, the start-up timer and
// the About box.
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QtTest>

#include "gui/qt/about_dlg.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/main_frame.h"
#include "gui_test_support.h"

namespace zul::gui {

class MainFrameTest : public QObject {
    Q_OBJECT
private:
    // A main window whose Download command only counts.
    struct Frame {
        Frame() {
            frame.setDownloadDialog([this](QWidget*) { ++downloads; });
            frame.startupTimer().stop();
            frame.show();
            frame.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&frame));
        }
        CMainFrame frame;
        int downloads = 0;
    };

private slots:
    void menusAsInTheTables() {
        GuiSeams seams;
        Frame f;
        QCOMPARE(f.frame.windowTitle(), QString("ZUL for KVR 7700"));
        const struct {
            const char* menu;
            QStringList entries;  // "-" is a separator
        } kMenus[] = {
            {"&File", {"Setup &Directory...", "Setup &COM Port...", "&Test COM Port...", "-", "E&xit"}},
            {"&Engine Analyzer", {"&Download..."}},
            {"&Help", {"&Contents...\tF1", "-", "&About ZUL..."}},
        };
        const QList<QAction*> menus = f.frame.menuBar()->actions();
        QCOMPARE(menus.size(), 3);
        for (int m = 0; m < 3; ++m) {
            QCOMPARE(menus[m]->text(), QString(kMenus[m].menu));
            QStringList entries;
            for (QAction* a : menus[m]->menu()->actions()) entries << (a->isSeparator() ? QString("-") : a->text());
            QCOMPARE(entries, kMenus[m].entries);
        }
        QVERIFY(!f.frame.action(kCmdHelpContents)->isEnabled());
        for (Command c : {kCmdSetupDirectory, kCmdSetupComPort, kCmdTestComPort, kCmdExit, kCmdDownload, kCmdAbout})
            QVERIFY(f.frame.action(c)->isEnabled());
        // Centred on the screen.
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((f.frame.geometry().center() - centre).manhattanLength() <= 2);
    }

    void acceleratorsAsInTheTable() {
        GuiSeams seams;
        Frame f;
        QTest::keyClick(&f.frame, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f.downloads, 1);
        QTest::keyClick(&f.frame, Qt::Key_M, Qt::ControlModifier);
        QTest::keyClick(&f.frame, Qt::Key_F1);
        QTest::keyClick(&f.frame, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(f.downloads, 1);
        QVERIFY(f.frame.isVisible());
        QTest::keyClick(&f.frame, Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!f.frame.isVisible());
    }

    void statusBarShowsReadyAndTheHighlightedEntrysPrompt() {
        GuiSeams seams;
        Frame f;
        QCOMPARE(f.frame.messagePane()->text(), QString("Ready"));
        QVERIFY(f.frame.messagePane()->isVisible());
        const struct {
            Command command;
            const char* prompt;
        } kPrompts[] = {
            {kCmdSetupDirectory, "Select application directory"},
            {kCmdSetupComPort, "Select PC COM port and baud rate"},
            {kCmdTestComPort, "Test PC COM Port"},
            {kCmdHelpContents, "Open help file"},
        };
        for (const auto& row : kPrompts) QCOMPARE(f.frame.action(row.command)->statusTip(), QString(row.prompt));
        QVERIFY(f.frame.action(kCmdDownload)->statusTip().isEmpty());

        // Highlighting an entry in the open menu puts its prompt in the status bar.
        QMenu* file = f.frame.menuBar()->actions()[0]->menu();
        file->popup(f.frame.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        QAction* entry = f.frame.action(kCmdTestComPort);
        QTest::mouseMove(file, file->actionGeometry(entry).center());
        QTRY_COMPARE(f.frame.statusBar()->currentMessage(), QString("Test PC COM Port"));
        QVERIFY(!f.frame.messagePane()->isVisible());
        file->close();
        f.frame.statusBar()->clearMessage();
        QVERIFY(f.frame.messagePane()->isVisible());

        // Lock panes: CAP, NUM, SCRL, dimmed while the platform says nothing.
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f.frame.lockPane(i)->text(), QString(QStringList{"CAP", "NUM", "SCRL"}[i]));
            QVERIFY(!f.frame.lockPane(i)->isEnabled());
        }
        f.frame.ShowLockKeys(LockKeys{true, false, true});
        QVERIFY(f.frame.lockPane(0)->isEnabled());
        QVERIFY(!f.frame.lockPane(1)->isEnabled());
        QVERIFY(f.frame.lockPane(2)->isEnabled());
    }

    void lockKeysFromWhatThePlatformTells() {
        const struct {
            const char* platform;
            quint32 native;
            bool caps, num, scroll;
        } kTable[] = {
            {"xcb", 0x02, true, false, false},     {"xcb", 0x10, false, true, false},
            {"xcb", 0x12, true, true, false},      {"xcb", 0x01, false, false, false},
            {"windows", 0x100, true, false, false}, {"windows", 0x600, false, true, true},
            {"offscreen", 0xFFFF, false, false, false}, {"wayland", 0x12, false, false, false},
        };
        for (const auto& row : kTable) {
            const LockKeys keys = LockKeysFromNative(row.platform, row.native);
            QCOMPARE(keys.caps, row.caps);
            QCOMPARE(keys.num, row.num);
            QCOMPARE(keys.scroll, row.scroll);
        }
    }

    void startupTimerOpensTheDownloadDialogOnce() {
        GuiSeams seams;
        CMainFrame frame;
        int downloads = 0;
        QElapsedTimer elapsed;
        elapsed.start();
        qint64 openedAfter = 0;
        frame.setDownloadDialog([&](QWidget* owner) {
            ++downloads;
            openedAfter = elapsed.elapsed();
            QCOMPARE(owner, &frame);
        });
        frame.show();
        QVERIFY(frame.startupTimer().isActive());
        QCOMPARE(frame.startupTimer().interval(), 500);
        QVERIFY(frame.startupTimer().isSingleShot());
        QTRY_COMPARE(downloads, 1);
        QVERIFY(openedAfter >= 450);
        QVERIFY(!frame.startupTimer().isActive());
        // Closing the dialog leaves the main window; Download can be chosen again.
        frame.action(kCmdDownload)->trigger();
        QCOMPARE(downloads, 2);
    }

    void anotherStartRestoresAndRaises() {
        GuiSeams seams;
        Frame f;
        f.frame.showMinimized();
        QTRY_VERIFY(f.frame.isMinimized());
        f.frame.ActivateFromAnotherStart();
        QTRY_VERIFY(!f.frame.isMinimized());
        QTRY_COMPARE(QApplication::activeWindow(), &f.frame);
    }

    void aboutBox() {
        GuiSeams seams;
        Frame f;
        QStringList lines;
        QString caption;
        bool hasIcon = false;
        test::WhenShown<CAboutDlg>([&](CAboutDlg* about) {
            caption = about->windowTitle();
            for (int i = 1; i <= 4; ++i) lines << about->findChild<QLabel*>(QString("line%1").arg(i))->text();
            hasIcon = !about->findChild<QLabel*>("icon")->pixmap().isNull();
            // Every line fits.
            for (QLabel* label : about->findChildren<QLabel*>())
                QVERIFY(label->width() >= label->sizeHint().width());
            QTest::keyClick(about, Qt::Key_Return);
        });
        f.frame.action(kCmdAbout)->trigger();
        QCOMPARE(caption, QString("About"));
        QCOMPARE(lines[0], QString("ZUL"));
        QCOMPARE(lines[1], QString("Version 2.2"));
        QVERIFY(!lines[2].isEmpty());
        QCOMPARE(lines[3], QString("Brennic Corporation"));
        QVERIFY(hasIcon);
        QVERIFY(test::FindWindow<CAboutDlg>() == nullptr);
    }
};

}  // namespace zul::gui

QTEST_MAIN(zul::gui::MainFrameTest)
#include "main_frame_test.moc"
