// Renders every window of the window program to a PNG file, on Qt's offscreen
// platform, with a plain title bar drawn around each so that the caption
// shows: render_windows OUTPUT-DIRECTORY
#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <map>

#include "app/startup.h"
#include "gui/about_dlg.h"
#include "gui/download_dialog.h"
#include "gui/folder_dialog.h"
#include "gui/gui_seams.h"
#include "gui/main_frame.h"
#include "gui/pictures.h"
#include "gui/select_com_port_dialog.h"
#include "gui/setup_directory_dialog.h"
#include "gui/splash_wnd.h"
#include "gui/status_dlg.h"

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

    // The download dialog's placeholder, captured once it is up.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == kDownloadPlaceholderName && w->isVisible()) {
                SaveWindow(w, "download_placeholder");
                static_cast<QDialog*>(w)->reject();
            }
        }
    });
    OpenDownloadDialog(&frame);

    QFile::remove(settings);
    zul::SetCurrentPortSelection(nullptr);
    return g_failures == 0 ? 0 : 1;
}
