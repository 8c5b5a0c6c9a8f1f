// zul: the window program.
#include <QApplication>
#include <QTextStream>

#include <cstdio>

#include "gui/qt/command_line.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/window_report.h"
#include "gui/qt/zul_app.h"
#include "support/session_log.h"

// The session log exists for the whole life of the program: created before
// main runs, destroyed after it has returned.
static zul::SessionLog g_sessionLog;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(ZUL_VERSION);

    zul::gui::GuiOptions options;
    QString error;
    if (!zul::gui::ParseCommandLine(QApplication::arguments().mid(1), &options, &error)) {
        std::fprintf(stderr, "zul: %s\n%s", qPrintable(error), qPrintable(zul::gui::UsageText()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(zul::gui::UsageText()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("zul %s\n", ZUL_VERSION);
        return 0;
    }

    zul::gui::ReportWindowsIfAsked();
    zul::gui::GuiSeams seams;
    zul::gui::CZULApp app(options);
    if (!app.InitInstance()) return app.ExitInstance(0);
    const int result = QApplication::exec();
    return app.ExitInstance(result);
}
