// Renders every window of the window program to a PNG file, on Qt's offscreen
// platform, with a plain title bar drawn around each so that the caption
// shows: render_windows OUTPUT-DIRECTORY
#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

#include "host/startup.h"
#include "gui/qt/about_dlg.h"
#include "gui/qt/download_dialog.h"
#include "gui/qt/setup_instructions_dlg.h"
#include "gui/qt/working_dlg.h"
#include "ui/download/download_texts.h"
#include "gui/qt/folder_dialog.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/main_frame.h"
#include "gui/qt/pictures.h"
#include "gui/qt/select_com_port_dialog.h"
#include "gui/qt/setup_directory_dialog.h"
#include "gui/qt/splash_wnd.h"
#include "gui/qt/status_dlg.h"

namespace {

using namespace zul::gui;

QString g_outDir;
int g_failures = 0;

void Settle(QWidget* w) {
    w->show();
    for (int i = 0; i < 20 && !(w->windowHandle() && w->windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

// The window's contents inside a title bar with its icon and caption.
QImage Framed(const QPixmap& content, const QString& caption, bool withTitleBar = true) {
    if (!withTitleBar) return content.toImage();
    const int bar = 28;
    QImage image(content.width() + 2, content.height() + bar + 1, QImage::Format_RGB32);
    image.fill(QColor(0x5a, 0x5a, 0x5a));
    QPainter p(&image);
    p.fillRect(QRect(1, 1, image.width() - 2, bar - 1), QColor(0x2f, 0x3b, 0x4c));
    ApplicationIcon().paint(&p, QRect(7, 6, 16, 16));
    QFont font = QApplication::font();
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(30, 1, image.width() - 36, bar - 1), Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.drawPixmap(1, bar, content);
    return image;
}

// A folder history of its own, so the pictures never touch the user's.
class PictureHistory final : public zul::HistoryStore {
public:
    std::map<std::string, std::string> values;
    std::optional<std::string> Read(const std::string& section, const std::string& key) override {
        auto it = values.find(section + "|" + key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void Write(const std::string& section, const std::string& key, const std::string& value) override {
        values[section + "|" + key] = value;
    }
};

// A combo box's window with its list open over it.
QPixmap WithOpenList(QWidget* window, QComboBox* combo) {
    combo->showPopup();
    QWidget* popup = combo->view()->window();
    Settle(popup);
    QPixmap shot = window->grab();
    const QPoint at = window->mapFromGlobal(popup->pos());
    QPixmap withList(qMax(shot.width(), at.x() + popup->width()), qMax(shot.height(), at.y() + popup->height()));
    withList.fill(QColor(0xd0, 0xd0, 0xd0));
    QPainter p(&withList);
    p.drawPixmap(0, 0, shot);
    p.drawPixmap(at, popup->grab());
    p.end();
    combo->hidePopup();
    return withList;
}

// An application script as the application directory holds it (every byte
// complemented).
void WriteScript(const QString& path, const char* name, const char* version, const std::vector<std::string>& lines) {
    std::string text = std::string("[application]\nname=") + name + "\nversion=" + version +
                       "\n[script]\nstartLine=start\nclosingLine=end\nnumberOfStatements=" +
                       std::to_string(lines.size()) + "\n";
    for (std::size_t i = 0; i < lines.size(); ++i) text += "stmt" + std::to_string(i + 1) + "=" + lines[i] + "\n";
    for (char& c : text) c = static_cast<char>(~static_cast<unsigned char>(c));
    std::ofstream(path.toStdString(), std::ios::binary) << text;
    // The images the statements name, so that every script parses.
    for (const std::string& line : lines) {
        std::ofstream image(QFileInfo(path).absolutePath().toStdString() + "/" + line.substr(0, line.find(' ')),
                            std::ios::binary);
        image << std::string(4096, '\x5a');
    }
}

void Save(const QImage& image, const char* name) {
    const QString path = QDir(g_outDir).filePath(QString(name) + ".png");
    if (!image.save(path)) {
        std::fprintf(stderr, "render_windows: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), image.width(), image.height());
}

void SaveWindow(QWidget* w, const char* name) {
    Settle(w);
    Save(Framed(w->grab(), w->windowTitle()), name);
}

// The main window with one of its menus open and an entry highlighted, so
// that the status bar shows the entry's prompt.
void SaveMenu(CMainFrame& frame, int menuIndex, Command highlighted, const char* name) {
    QAction* menuAction = frame.menuBar()->actions()[menuIndex];
    QMenu* menu = menuAction->menu();
    const QRect at = frame.menuBar()->actionGeometry(menuAction);
    menu->popup(frame.menuBar()->mapToGlobal(at.bottomLeft()));
    Settle(menu);
    if (QAction* entry = frame.action(highlighted)) {
        menu->setActiveAction(entry);
        entry->hover();
        frame.statusBar()->showMessage(entry->statusTip());
    }
    QCoreApplication::processEvents();
    QPixmap shot = frame.grab();
    {
        QPainter p(&shot);
        p.drawPixmap(frame.mapFromGlobal(menu->pos()), menu->grab());
    }
    Save(Framed(shot, frame.windowTitle()), name);
    menu->close();
    frame.statusBar()->clearMessage();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: render_windows OUTPUT-DIRECTORY\n");
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_outDir);
    QGuiApplication::setWindowIcon(ApplicationIcon());

    GuiSeams seams;
    // A settings file of its own, so the pictures show the defaults.
    const QString settings = QDir(g_outDir).filePath(".render_windows.ini");
    QFile::remove(settings);
    zul::SetSettingsFilePath(settings.toStdString());
    zul::SetCurrentPortSelection(std::make_unique<zul::PortSelection>(zul::LoadPortSelection(settings.toStdString())));

    CSplashWnd* splash = new CSplashWnd([] { return nullptr; });
    Settle(splash);
    Save(splash->grab().toImage(), "splash");
    delete splash;

    CMainFrame frame;
    frame.startupTimer().stop();
    GuiSeams::SetMainWindow(&frame);
    SaveWindow(&frame, "main_window");
    SaveMenu(frame, 0, kCmdSetupComPort, "main_window_file_menu");
    SaveMenu(frame, 1, kCmdDownload, "main_window_engine_analyzer_menu");
    SaveMenu(frame, 2, kCmdAbout, "main_window_help_menu");

    CAboutDlg about(&frame);
    SaveWindow(&about, "about");

    zul::SettingsStore store(settings.toStdString());
    store.WriteValue("Devices", "COM3", "/dev/ttyUSB0");
    store.WriteValue("comm", "Port", "3");
    SelectComPortDialog select(store, &frame);
    SaveWindow(&select, "select_com_port");
    select.list()->showPopup();
    Settle(select.list()->view()->window());
    {
        QPixmap shot = select.grab();
        QWidget* popup = select.list()->view()->window();
        QPixmap withList(qMax(shot.width(), select.mapFromGlobal(popup->pos()).x() + popup->width()),
                         qMax(shot.height(), select.mapFromGlobal(popup->pos()).y() + popup->height()));
        withList.fill(QColor(0xd0, 0xd0, 0xd0));
        QPainter p(&withList);
        p.drawPixmap(0, 0, shot);
        p.drawPixmap(select.mapFromGlobal(popup->pos()), popup->grab());
        p.end();
        Save(Framed(withList, select.windowTitle()), "select_com_port_list");
    }
    select.list()->hidePopup();

    {
        // Setup Directory with a history, and the folder picker in a folder
        // of application directories.
        QTemporaryDir place(QDir::tempPath() + "/zul-XXXXXX");
        const QString root = place.path() + "/KVR Apps";
        for (const char* sub : {"Demo Flash Update", "Program Card", "RAM Loader", "Archive 2024"})
            QDir().mkpath(root + "/" + sub);
        for (const char* file : {"demo.qob", "readme.txt"}) {
            QFile f(root + "/" + file);
            f.open(QIODevice::WriteOnly);
        }
        store.WriteValue("Dir Setup", "QOBDir", (root + "/Demo Flash Update").toStdString().c_str());
        PictureHistory history;
        history.values = {{"Settings 2.x\\App Dir|Item1", "/media/usb/ZUL/Apps"},
                          {"Settings 2.x\\App Dir|Item2", "/mnt/workshop/kvr7700/apps"},
                          {"Settings 2.x\\App Dir|Item3", "/home/tech/Downloads/KVR 7700 update 2.2"}};
        CSetupDirDialog setup(store, history, &frame);
        SaveWindow(&setup, "setup_directory");
        Save(Framed(WithOpenList(&setup, setup.directory()), setup.windowTitle()), "setup_directory_history");
        CFolderDialog picker(root, "Script files (*.qob)|*.qob|All Files (*.*)|*.*||", &setup);
        SaveWindow(&picker, "select_folder");
        setup.reject();
    }

    CStatusDlg status("Performing COM port test...", &frame);
    Save(Framed(status.grab(), status.windowTitle()), "status_window");
    status.Close();

    // The COM port test's first question, as the message boxes look.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
                SaveWindow(box, "com_port_test_question");
                box->reject();
            }
        }
    });
    ShowMessageBox(&frame, QString::fromStdString(zul::LoadResourceString(zul::kIdsComTestAdapter)),
                   QString::fromStdString(zul::LoadResourceString(zul::kIdsSetup)),
                   zul::kMbOkCancel | zul::kMbIconInformation);

    {
        // The download windows over an application directory of their own.
        QTemporaryDir apps(QDir::tempPath() + "/zul-XXXXXX");
        WriteScript(apps.path() + "/flash.qob", "Demo Flash Update", "2.4", {"flash.bin -FLASH"});
        WriteScript(apps.path() + "/ram.qob", "RAM Loader", "1.0", {"ram.bin -RAM"});
        WriteScript(apps.path() + "/card.qob", "Program Card Update (Fuel Injection and Ignition)", "10.12",
                    {"card.bin -CARD"});
        store.WriteValue("Dir Setup", "QOBDir", apps.path().toStdString().c_str());
        store.WriteValue("Dir Setup", "ImgQOBDir", apps.path().toStdString().c_str());

        CSetupInstructionsDlg instructions(&frame);
        SaveWindow(&instructions, "setup_instructions");

        CDownloadDlg download(&frame);
        download.FillList();
        download.list()->topLevelItem(0)->setSelected(true);
        SaveWindow(&download, "download_dialog");

        std::atomic<int> flag{0};
        CWorkingDlg working(&flag, &download, "Download Progress", nullptr);
        working.SetStatusText("Downloading: flash.bin");
        working.SetCurrentPercent(42);
        working.SetTotalPercent(42);
        SaveWindow(&working, "download_progress");
        working.Close();

        QTemporaryDir empty(QDir::tempPath() + "/zul-XXXXXX");
        store.WriteValue("Dir Setup", "QOBDir", empty.path().toStdString().c_str());
        CDownloadDlg none(&frame);
        none.FillList();
        SaveWindow(&none, "download_dialog_empty");

        // Each kind of message the download shows.
        struct Box {
            const char* name;
            std::string text;
            const char* caption;
            unsigned type;
        };
        const Box boxes[] = {
            {"message_confirm_download", zul::kConfirmDownload.text, zul::kConfirmDownload.caption,
             zul::kMbOkCancel | zul::kMbIconWarning},
            {"message_statement", "!Remove the program card before the download.", zul::kMessageCaption,
             zul::kMbOk | zul::kMbIconWarning},
            {"message_error", "Software not updated", "Error", zul::kMbOk | zul::kMbIconWarning},
            {"message_no_tester", zul::kQueryNoZiz2.text, zul::kQueryNoZiz2.caption, zul::kMbOk | zul::kMbIconWarning},
            {"message_scripts_unreadable", zul::kScriptsUnreadable.text, zul::kScriptsUnreadable.caption,
             zul::kMbOkCancel},
            {"message_complete", zul::CompletionReport(42, ""), zul::kCompleteCaption,
             zul::kMbOk | zul::kMbIconInformation},
            {"message_complete_minutes", zul::CompletionReport(95, "Cycle power on your tester and press OK to finish."),
             zul::kCompleteCaption, zul::kMbOk | zul::kMbIconInformation},
        };
        for (const Box& box : boxes) {
            const char* name = box.name;
            QTimer::singleShot(0, [name] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* shown = qobject_cast<QMessageBox*>(w); shown != nullptr && shown->isVisible()) {
                        SaveWindow(shown, name);
                        shown->reject();
                    }
                }
            });
            ShowMessageBox(&download, QString::fromStdString(box.text), box.caption, box.type);
        }
    }

    QFile::remove(settings);
    zul::SetCurrentPortSelection(nullptr);
    return g_failures == 0 ? 0 : 1;
}
