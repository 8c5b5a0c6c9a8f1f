#include "gui/qt/splash_wnd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "gui/qt/pictures.h"

namespace zul::gui {

CSplashWnd::CSplashWnd(std::function<QWidget*()> mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      mainWindow_(std::move(mainWindow)),
      picture_(SplashPicture()) {
    setObjectName("CSplashWnd");
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(picture_.size());
    setCursor(Qt::ArrowCursor);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CSplashWnd::OnTimer);
    timer_.start(schedule_.FirstDelay());
    qApp->installEventFilter(this);
}

CSplashWnd::~CSplashWnd() {
    if (qApp != nullptr) qApp->removeEventFilter(this);
}

CSplashWnd* CSplashWnd::ShowOnce(std::function<QWidget*()> mainWindow) {
    static bool shown = false;
    if (shown) return nullptr;
    shown = true;
    auto* splash = new CSplashWnd(std::move(mainWindow));
    splash->show();
    splash->raise();
    splash->repaint();
    return splash;
}

void CSplashWnd::OnTimer() {
    if (closing_) return;
    const int next = schedule_.OnTimer(mainWindow_ && mainWindow_() != nullptr);
    if (next == 0) {
        CloseSplash();
    } else {
        timer_.start(next);
    }
}

void CSplashWnd::CloseSplash() {
    if (closing_) return;
    closing_ = true;
    timer_.stop();
    hide();
    // The window that was under the splash gets the keyboard back.
    if (QWidget* main = mainWindow_ ? mainWindow_() : nullptr) {
        QWidget* front = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : main;
        front->raise();
        front->activateWindow();
    }
    // Gone at once unless the key that closed it is still down: its release
    // (and repeats) are swallowed first, for at most a second.
    QTimer::singleShot(swallowKey_ != 0 ? 1000 : 0, this, &QObject::deleteLater);
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

// The splash stands for a window in front that takes the first key: any key
// press closes it, and so does a mouse press on the picture; that input goes
// nowhere else, and neither do the repeats and the release of that key.
bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool keyEvent = type == QEvent::KeyPress || type == QEvent::ShortcutOverride || type == QEvent::KeyRelease;
    if (swallowKey_ != 0) {
        if (!keyEvent || static_cast<QKeyEvent*>(event)->key() != swallowKey_) return false;
        if (type == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            swallowKey_ = 0;
        }
        event->accept();
        return true;
    }
    if (closing_) return false;
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        swallowKey_ = static_cast<QKeyEvent*>(event)->key();
        if (swallowKey_ == 0) swallowKey_ = -1;
        event->accept();
        CloseSplash();
        return true;
    }
    const bool click = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
                       (watched == this || watched == static_cast<QObject*>(windowHandle()));
    if (!click) return false;
    CloseSplash();
    return true;
}

}  // namespace zul::gui
