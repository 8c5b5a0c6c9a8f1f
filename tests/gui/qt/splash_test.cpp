// The splash: its timing (driven tick by tick here), closing by key or
// click without the input going anywhere else, and the "nologo" switch.
#include <QLineEdit>
#include <QtTest>

#include "gui/qt/command_line.h"
#include "gui/qt/pictures.h"
#include "gui/qt/splash_wnd.h"

namespace zul::gui {

class SplashTest : public QObject {
    Q_OBJECT
private slots:
    void staysTwoSecondsThenUntilTheMainWindowExists() {
        QWidget* mainWindow = nullptr;
        QWidget window;
        QPointer<CSplashWnd> splash = new CSplashWnd([&] { return mainWindow; });
        splash->show();
        QCOMPARE(splash->size(), QSize(492, 213));
        QVERIFY(splash->timer().isActive());
        QCOMPARE(splash->timer().interval(), 2000);
        splash->timer().stop();

        // 2000 ms are over, but no main window yet: checked again every 100 ms.
        for (int tick = 0; tick < 3; ++tick) {
            splash->OnTimer();
            QVERIFY(splash->isVisible());
            QVERIFY(splash->timer().isActive());
            QCOMPARE(splash->timer().interval(), 100);
            splash->timer().stop();
        }
        mainWindow = &window;
        splash->OnTimer();
        QVERIFY(!splash->isVisible());
        QTRY_VERIFY(splash.isNull());
    }

    void keyClosesItAndGoesNowhereElse() {
        QLineEdit edit;
        edit.show();
        edit.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        QPointer<CSplashWnd> splash = new CSplashWnd([] { return nullptr; });
        splash->show();
        QVERIFY(QTest::qWaitForWindowExposed(splash));
        QTest::keyClick(&edit, Qt::Key_A);
        QVERIFY(!splash->isVisible());
        QCOMPARE(edit.text(), QString());
        // Later keys reach the window as usual.
        QTest::keyClick(&edit, Qt::Key_B);
        QCOMPARE(edit.text(), QString("b"));
        delete splash.data();
    }

    void clickClosesIt() {
        QPointer<CSplashWnd> splash = new CSplashWnd([] { return nullptr; });
        splash->show();
        QVERIFY(QTest::qWaitForWindowExposed(splash));
        QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(!splash->isVisible());
        QTRY_VERIFY(splash.isNull());
    }

    void showOnceAPerProcess() {
        CSplashWnd* first = CSplashWnd::ShowOnce([] { return nullptr; });
        QVERIFY(first != nullptr);
        QVERIFY(first->isVisible());
        QVERIFY(first->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(first->windowFlags() & Qt::FramelessWindowHint);
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((first->geometry().center() - centre).manhattanLength() <= 2);
        QVERIFY(CSplashWnd::ShowOnce([] { return nullptr; }) == nullptr);
        delete first;
    }

    void pictureIsDrawnAtItsSize() {
        const QImage picture = SplashPicture();
        QCOMPARE(picture.size(), QSize(492, 213));
        // Not one flat colour: something was drawn.
        QVERIFY(picture.pixel(60, 60) != picture.pixel(5, 5) || picture.pixel(400, 100) != picture.pixel(5, 5));
        QVERIFY(!ApplicationIcon().isNull());
    }

    void nologoSwitch() {
        const struct {
            QStringList args;
            bool ok;
            bool nologo;
        } kTable[] = {
            {{}, true, false},
            {{"/nologo"}, true, true},
            {{"-nologo"}, true, true},
            {{"--nologo"}, true, true},
            {{"/NOLOGO"}, true, false},
            {{"-NoLogo"}, true, false},
            {{"/dde"}, true, false},
            {{"/nologo", "--settings", "x.ini"}, true, true},
            {{"nologo"}, false, false},
            {{"--no-such-option"}, false, false},
            {{"--settings"}, false, false},
        };
        for (const auto& row : kTable) {
            GuiOptions options;
            QString error;
            QCOMPARE(ParseCommandLine(row.args, &options, &error), row.ok);
            if (row.ok) QCOMPARE(options.nologo, row.nologo);
            else QVERIFY(!error.isEmpty());
        }
        GuiOptions options;
        QString error;
        QVERIFY(ParseCommandLine({"--simulate=silent,garble=0.1", "--settings=a b.ini"}, &options, &error));
        QVERIFY(options.simulate);
        QCOMPARE(options.faults, QString("silent,garble=0.1"));
        QCOMPARE(options.settingsFile, QString("a b.ini"));
        QVERIFY(ParseCommandLine({"--simulate"}, &options, &error));
        QVERIFY(options.simulate);
        QVERIFY(options.faults.isEmpty());
    }
};

}  // namespace zul::gui

QTEST_MAIN(zul::gui::SplashTest)
#include "splash_test.moc"
