#include "gui/qt/paint_now.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace zul::gui {

void ShowAndPaintNow(QWidget& window, const QWidget* owner) {
    const QWidget* over = owner != nullptr ? owner->window() : nullptr;
    if (over != nullptr && over->isVisible() && !over->isMinimized()) {
        window.move(over->frameGeometry().center() - window.rect().center());
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    window.raise();
    QDeadlineTimer deadline(200);
    while (window.windowHandle() != nullptr && !window.windowHandle()->isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    window.repaint();
}

}  // namespace zul::gui
