// "Setup Directory" from the File menu, its history combo box and the
// "Select Folder" picker, on real folders, with the history in a profile of
// the test's own.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "host/startup.h"
#include "gui/qt/folder_dialog.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/history_combo_box.h"
#include "gui/qt/main_frame.h"
#include "gui/qt/setup_directory_dialog.h"
#include "gui_test_support.h"
#include "testlib/program_state.h"
#include "testlib/temp_dir.h"

namespace zul::gui {
namespace {

// Closes a dialog that a failed check left open, so the test ends instead
// of waiting in the dialog's loop.
struct CloseWhenDone {
    QDialog* dialog;
    ~CloseWhenDone() {
        if (dialog->isVisible()) dialog->reject();
    }
};

}  // namespace

class SetupDirectoryTest : public QObject {
    Q_OBJECT
private:
    QString History(int n) {
        QSettings profile("Brennic Corp", "ZUL for KVR 7700");
        return profile.value(QString("Settings 2.x/App Dir/Item%1").arg(n)).toString();
    }
    QStringList Items(QComboBox* combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
        return items;
    }
    static void Type(QWidget* w, const QString& text) { QTest::keyClicks(w, text); }

    std::unique_ptr<zul::test::ScopedProgramState> state;
    std::unique_ptr<zul::test::TempDir> dir;
    std::string apps;

private slots:
    void init() {
        state = std::make_unique<zul::test::ScopedProgramState>();
        dir = std::make_unique<zul::test::TempDir>();
        apps = *dir / "apps";
        std::filesystem::create_directories(apps + "/Scripts");
        dir->Write("apps/demo.qob", "x");
        dir->Write("apps/notes.txt", "x");
        dir->Write("zultw.ini", "[Dir Setup]\nQOBDir=" + apps + "\n");
        SetSettingsFilePath(*dir / "zultw.ini");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(*dir / "profile"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(*dir / "profile"));
        QSettings profile("Brennic Corp", "ZUL for KVR 7700");
        profile.setValue("Settings 2.x/App Dir/Item1", "/old/place");
    }
    void cleanup() {
        dir.reset();
        state.reset();
    }

    // Open from the menu, browse, type a new folder, Enter, Yes, Select, OK.
    void browseIntoANewFolderAndConfirm() {
        test::RecordingSink sink;
        sink.answers = {kIdYes};
        GuiSeams seams(&sink);
        CMainFrame frame;
        frame.startupTimer().stop();
        frame.show();
        const QString qApps = QString::fromStdString(apps);
        const QString created = qApps + "/New/Sub";
        bool checkedPicker = false, checkedDialog = false;
        test::WhenShown<CSetupDirDialog>([&](CSetupDirDialog* dlg) {
            CloseWhenDone guard{dlg};
            QCOMPARE(dlg->windowTitle(), QString("Setup Directory"));
            QCOMPARE(dlg->findChild<QGroupBox*>("group")->title(), QString("&Application Directory"));
            CHistoryComboBox* combo = dlg->directory();
            QCOMPARE(combo->currentText(), qApps);
            // The current directory went to the top of the history at once.
            QCOMPARE(Items(combo), QStringList({qApps, "/old/place"}));
            QCOMPARE(History(1), qApps);
            QCOMPARE(History(2), QString("/old/place"));

            test::WhenShown<CFolderDialog>([&](CFolderDialog* picker) {
                CloseWhenDone guard{picker};
                QCOMPARE(picker->windowTitle(), QString("Select Folder"));
                auto* edit = picker->findChild<QLineEdit*>("folderEdit");
                auto* select = picker->findChild<QPushButton*>("select");
                auto* types = picker->findChild<QComboBox*>("fileTypes");
                auto* view = picker->findChild<QListWidget*>("folderView");
                QCOMPARE(edit->text(), qApps + "/");
                // The caret goes to the end once the opening has settled.
                QTRY_VERIFY(!edit->hasSelectedText());
                QCOMPARE(edit->cursorPosition(), edit->text().size());
                QCOMPARE(picker->focusWidget(), edit);
                QCOMPARE(select->text(), QString("Select"));
                QVERIFY(select->isDefault());
                QCOMPARE(Items(types), QStringList({"Show Folders Only", "Script files (*.qob)", "All Files (*.*)"}));
                QCOMPARE(view->count(), 1);  // folders only
                QCOMPARE(view->item(0)->text(), QString("Scripts"));
                types->setCurrentIndex(1);
                QCOMPARE(view->count(), 2);
                QCOMPARE(view->item(1)->text(), QString("demo.qob"));

                // A file is refused with the path first; the picker stays.
                edit->setFocus();
                edit->selectAll();
                Type(edit, qApps + "/notes.txt");
                QTest::mouseClick(select, Qt::LeftButton);
                QVERIFY(picker->isVisible());
                QCOMPARE(sink.shown.back().text, (apps + "/notes.txt\nThis is a file not a directory."));
                QCOMPARE(sink.shown.back().caption, std::string("ZUL for KVR 7700"));

                // Completion: "S" becomes "Scripts" with "cripts" selected.
                edit->selectAll();
                Type(edit, qApps + "/S");
                QCOMPARE(edit->text(), qApps + "/Scripts");
                QCOMPARE(edit->selectedText(), QString("cripts"));

                edit->selectAll();
                Type(edit, created);
                QTest::keyClick(edit, Qt::Key_Return);
                QVERIFY(picker->isVisible());  // Enter stays in the edit
                QCOMPARE(sink.shown.back().text,
                         created.toStdString() + "\nThis folder does not exist.\n\nDo you want to create it?");
                QVERIFY(std::filesystem::is_directory(created.toStdString()));
                QCOMPARE(edit->text(), created + "/");
                QCOMPARE(view->count(), 0);
                QTest::mouseClick(select, Qt::LeftButton);
                checkedPicker = true;
            });
            QTest::mouseClick(dlg->findChild<QPushButton*>("browse"), Qt::LeftButton);
            QCOMPARE(combo->currentText(), created);  // without the trailing separator
            QTest::mouseClick(dlg->findChild<QPushButton*>("ok"), Qt::LeftButton);
            checkedDialog = true;
        });
        frame.action(kCmdSetupDirectory)->trigger();
        QVERIFY(checkedPicker);
        QVERIFY(checkedDialog);
        SettingsStore store(SettingsFilePath());
        QCOMPARE(store.ReadScriptDir(), created.toStdString());
        QCOMPARE(store.ReadImageDir(), created.toStdString());
        QCOMPARE(History(1), created);
        QCOMPARE(History(2), qApps);
        QCOMPARE(History(3), QString("/old/place"));
    }

    // Cancel writes nothing more, whatever was typed.
    void cancelLeavesTheSettings() {
        test::RecordingSink sink;
        GuiSeams seams(&sink);
        ProfileHistoryStore store;
        CSetupDirDialog dlg(SettingsStore(SettingsFilePath()), store);
        dlg.show();
        dlg.directory()->lineEdit()->selectAll();
        Type(dlg.directory()->lineEdit(), "/somewhere/else");
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(SettingsStore(SettingsFilePath()).ReadScriptDir(), apps);
        QCOMPARE(dir->Read("zultw.ini"), "[Dir Setup]\nQOBDir=" + apps + "\n");
        QCOMPARE(History(1), QString::fromStdString(apps));
        QVERIFY(sink.shown.empty());
    }

    // Enter in the combo is OK: the text is stored unchecked.
    void enterInTheComboIsOk() {
        test::RecordingSink sink;
        GuiSeams seams(&sink);
        ProfileHistoryStore store;
        CSetupDirDialog dlg(SettingsStore(SettingsFilePath()), store);
        dlg.show();
        QLineEdit* edit = dlg.directory()->lineEdit();
        edit->selectAll();
        Type(edit, "/not/there");
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        SettingsStore settings(SettingsFilePath());
        QCOMPARE(settings.ReadScriptDir(), std::string("/not/there"));
        QCOMPARE(settings.ReadImageDir(), std::string("/not/there"));
        QCOMPARE(History(1), QString("/not/there"));
        QCOMPARE(History(2), QString::fromStdString(apps));
        QVERIFY(sink.shown.empty());
    }

    // The combo completes from its history in any case; Backspace and
    // Delete never complete; editing inside the text keeps the caret.
    void historyCompletion() {
        ProfileHistoryStore store;
        store.Write("Settings 2.x\\App Dir", "Item1", "/data/Apps");
        store.Write("Settings 2.x\\App Dir", "Item2", "/data/Other");
        CHistoryComboBox combo(store);
        combo.LoadHistory("Settings 2.x\\App Dir", "Item");
        combo.show();
        QLineEdit* edit = combo.lineEdit();
        edit->setFocus();
        Type(edit, "/DATA/a");
        QCOMPARE(edit->text(), QString("/data/Apps"));
        QCOMPARE(edit->selectedText(), QString("pps"));
        // The entry's own text was taken; Backspace removes the tail and
        // then a character, without completing again.
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString("/data/A"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString("/data/"));
        Type(edit, "o");
        QCOMPARE(edit->text(), QString("/data/Other"));
        QCOMPARE(edit->selectedText(), QString("ther"));
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(edit->text(), QString("data/Other"));
        Type(edit, "x");
        QCOMPARE(edit->text(), QString("xdata/Other"));
        QCOMPARE(edit->cursorPosition(), 1);
        QVERIFY(!edit->hasSelectedText());
    }

    // Nothing of either window is cut off.
    void textsFit() {
        test::RecordingSink sink;
        GuiSeams seams(&sink);
        ProfileHistoryStore store;
        CSetupDirDialog dlg(SettingsStore(SettingsFilePath()), store);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CFolderDialog picker(QString::fromStdString(apps), "Script files (*.qob)|*.qob|All Files (*.*)|*.*||", nullptr);
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        for (QWidget* w : {static_cast<QWidget*>(&dlg), static_cast<QWidget*>(&picker)}) {
            for (QLabel* label : w->findChildren<QLabel*>())
                QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(label->text()));
            for (QPushButton* button : w->findChildren<QPushButton*>())
                QVERIFY2(button->width() >= button->fontMetrics().horizontalAdvance(button->text()) + 8,
                         qPrintable(button->text() + " " + QString::number(button->width())));
        }
        QVERIFY(dlg.directory()->width() >= dlg.directory()->fontMetrics().horizontalAdvance(QString::fromStdString(apps)));
    }
};

}  // namespace zul::gui

QTEST_MAIN(zul::gui::SetupDirectoryTest)
#include "setup_directory_test.moc"
