#include "gui/qt/main_frame.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include "host/startup.h"
#include "gui/qt/about_dlg.h"
#include "gui/qt/download_dialog.h"
#include "gui/qt/pictures.h"
#include "gui/qt/select_com_port_dialog.h"
#include "gui/qt/setup_directory_dialog.h"
#include "gui/qt/status_dlg.h"
#include "gui/qt/window_report.h"
#include "ui/ports/com_port_selection.h"

namespace zul::gui {

LockKeys LockKeysFromNative(const QString& platformName, quint32 nativeModifiers) {
    LockKeys keys;
    if (platformName == "xcb") {
        // The X11 state mask: Lock is Caps Lock, Mod2 is Num Lock on every
        // common keymap; Scroll Lock is no modifier there.
        keys.caps = (nativeModifiers & 0x02) != 0;
        keys.num = (nativeModifiers & 0x10) != 0;
    } else if (platformName == "windows") {
        keys.caps = (nativeModifiers & 0x100) != 0;
        keys.num = (nativeModifiers & 0x200) != 0;
        keys.scroll = (nativeModifiers & 0x400) != 0;
    }
    return keys;
}

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), openDownload_(OpenDownloadDialog) {
    setObjectName("CMainFrame");
    setWindowTitle(kAppTitle);
    setWindowIcon(ApplicationIcon());
    auto* view = new QWidget(this);
    view->setObjectName("view");
    setCentralWidget(view);

    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("menuFile");
    AddCommand(file, "Setup &Directory...", kCmdSetupDirectory, "Select application directory");
    AddCommand(file, "Setup &COM Port...", kCmdSetupComPort, "Select PC COM port and baud rate");
    AddCommand(file, "&Test COM Port...", kCmdTestComPort, "Test PC COM Port");
    file->addSeparator();
    AddCommand(file, "E&xit", kCmdExit, "Quit the application");

    QMenu* engine = menuBar()->addMenu("&Engine Analyzer");
    engine->setObjectName("menuEngineAnalyzer");
    AddCommand(engine, "&Download...", kCmdDownload, nullptr);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("menuHelp");
    AddCommand(help, "&Contents...\tF1", kCmdHelpContents, "Open help file")->setEnabled(false);
    help->addSeparator();
    AddCommand(help, "&About ZUL...", kCmdAbout, "Display program information, version number and copyright");

    connect(action(kCmdSetupDirectory), &QAction::triggered, this, &CMainFrame::OnSetupDirectory);
    connect(action(kCmdSetupComPort), &QAction::triggered, this, &CMainFrame::OnSetupComPort);
    connect(action(kCmdTestComPort), &QAction::triggered, this, &CMainFrame::OnTestComPort);
    connect(action(kCmdDownload), &QAction::triggered, this, &CMainFrame::OnDownload);
    connect(action(kCmdAbout), &QAction::triggered, this, &CMainFrame::OnAbout);
    connect(action(kCmdExit), &QAction::triggered, this, &QWidget::close);

    // Accelerators. The menu entries show no key (their texts are as they
    // are), so the keys live on actions of the window: Ctrl+P downloads,
    // Alt+X exits, Ctrl+M is a command without a handler.
    struct Accelerator {
        QKeySequence keys;
        Command command;
        const char* name;
    };
    for (const Accelerator& a : {Accelerator{QKeySequence("Ctrl+P"), kCmdDownload, "acceleratorDownload"},
                                 Accelerator{QKeySequence("Alt+X"), kCmdExit, "acceleratorExit"},
                                 Accelerator{QKeySequence("Ctrl+M"), kCmdDownloadMsc, "acceleratorDownloadMsc"}}) {
        auto* key = new QAction(this);
        key->setObjectName(a.name);
        key->setShortcut(a.keys);
        key->setShortcutContext(Qt::WindowShortcut);
        key->setData(static_cast<int>(a.command));
        addAction(key);
        if (QAction* command = action(a.command)) {
            connect(key, &QAction::triggered, command, &QAction::trigger);
        } else {
            key->setEnabled(false);
        }
    }

    // Status bar: the message pane, then CAP, NUM and SCRL.
    ready_ = new QLabel("Ready", this);
    ready_->setObjectName("messagePane");
    ready_->setContentsMargins(4, 0, 0, 0);
    statusBar()->addWidget(ready_, 1);
    const char* lockNames[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        locks_[i] = new QLabel(lockNames[i], this);
        locks_[i]->setObjectName(QString("pane") + lockNames[i]);
        locks_[i]->setFrameShape(QFrame::Panel);
        locks_[i]->setFrameShadow(QFrame::Sunken);
        locks_[i]->setAlignment(Qt::AlignCenter);
        locks_[i]->setMinimumWidth(locks_[i]->fontMetrics().horizontalAdvance("SCRL") + 12);
        statusBar()->addPermanentWidget(locks_[i]);
    }
    ShowLockKeys(LockKeys());
    qApp->installEventFilter(this);

    resize(640, 440);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    startupTimer_.setSingleShot(true);
    startupTimer_.setInterval(kStartupTimerMs);
    connect(&startupTimer_, &QTimer::timeout, this, [this] {
        startupTimer_.stop();
        OnDownload();
    });
    startupTimer_.start();
}

CMainFrame::~CMainFrame() {
    if (qApp != nullptr) qApp->removeEventFilter(this);
}

QAction* CMainFrame::AddCommand(QWidget* menu, const char* text, Command command, const char* prompt) {
    auto* a = new QAction(QString::fromUtf8(text), this);
    a->setData(static_cast<int>(command));
    a->setObjectName(QString("command%1").arg(static_cast<int>(command)));
    // The status bar shows the first line of the prompt while the entry is
    // highlighted; an entry without one leaves "Ready" there.
    if (prompt != nullptr) a->setStatusTip(QString::fromUtf8(prompt));
    menu->addAction(a);
    return a;
}

QAction* CMainFrame::action(Command command) const {
    return findChild<QAction*>(QString("command%1").arg(static_cast<int>(command)));
}

void CMainFrame::ShowLockKeys(const LockKeys& keys) {
    locks_[0]->setEnabled(keys.caps);
    locks_[1]->setEnabled(keys.num);
    locks_[2]->setEnabled(keys.scroll);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched->isWindowType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        ShowLockKeys(LockKeysFromNative(QGuiApplication::platformName(), key->nativeModifiers()));
    }
    return false;
}

void CMainFrame::OnSetupDirectory() {
    if (!Busy()) OpenSetupDirectoryDialog(this);
}

void CMainFrame::OnSetupComPort() {
    if (!Busy()) OpenSelectComPortDialog(this);
}

void CMainFrame::OnTestComPort() {
    if (Busy()) return;
    serialWorkRunning_ = true;
    // The port stored last, not one shown in any dialog.
    const PortSelection* selection = CurrentPortSelection();
    StatusDlgWindow status(this);
    runComPortTest(selection != nullptr ? selection->portNumber : 1, &status);
    serialWorkRunning_ = false;
}

void CMainFrame::OnDownload() {
    if (!Busy() && openDownload_) openDownload_(this);
}

void CMainFrame::OnAbout() {
    if (Busy()) return;
    CAboutDlg about(this);
    about.setWindowModality(Qt::WindowModal);
    about.exec();
}

void CMainFrame::ActivateFromAnotherStart() {
    if (isMinimized()) showNormal();
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr) {
        // The last window that was open over this one, if any.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != this && w->isVisible() && w->isModal() && w->parentWidget() != nullptr &&
                w->parentWidget()->window() == this)
                front = w;
    }
    if (front == nullptr) front = this;
    front->raise();
    front->activateWindow();
    ReportEvent(qPrintable("activated by another start: " + front->objectName() + " in front"));
}

}  // namespace zul::gui
