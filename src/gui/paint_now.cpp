#include "gui/paint_now.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QWidget>
#include <QWindow>

namespace zul::gui {

void ShowAndPaintNow(QWidget& window) {
    window.show();
    window.raise();
    QDeadlineTimer deadline(200);
    while (window.windowHandle() != nullptr && !window.windowHandle()->isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    window.repaint();
}

}  // namespace zul::gui
