#include "gui/qt/window_report.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSet>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace zul::gui {
namespace {

// Started while the program is loaded, before main.
struct LoadTime {
    LoadTime() { timer.start(); }
    QElapsedTimer timer;
};
LoadTime g_loadTime;

class WindowReporter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Expose) return false;
        auto* window = qobject_cast<QWindow*>(watched);
        if (window == nullptr || !window->isExposed()) return false;
        QWidget* widget = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowHandle() == window) widget = w;
        if (widget == nullptr || reported_.contains(widget)) return false;
        reported_.insert(widget);
        std::fprintf(stderr, "zul: shown %s \"%s\" after %lld ms\n", qPrintable(widget->objectName()),
                     qPrintable(widget->windowTitle()), static_cast<long long>(g_loadTime.timer.elapsed()));
        std::fflush(stderr);
        return false;
    }

private:
    QSet<QWidget*> reported_;
};

bool g_reporting = false;

}  // namespace

void ReportEvent(const char* what) {
    if (!g_reporting) return;
    std::fprintf(stderr, "zul: %s after %lld ms\n", what, static_cast<long long>(g_loadTime.timer.elapsed()));
    std::fflush(stderr);
}

void ReportWindowsIfAsked() {
    if (qEnvironmentVariableIsEmpty("ZUL_REPORT_WINDOWS") || QCoreApplication::instance() == nullptr) return;
    g_reporting = true;
    QCoreApplication::instance()->installEventFilter(new WindowReporter(QCoreApplication::instance()));
}

}  // namespace zul::gui
