#include "gui/qt/command_line.h"

namespace zul::gui {

bool ParseCommandLine(const QStringList& arguments, GuiOptions* options, QString* error) {
    *options = GuiOptions();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg.startsWith("--")) {
            const QString name = arg.section('=', 0, 0);
            const bool hasValue = arg.contains('=');
            const QString value = arg.section('=', 1);
            if (name == "--settings") {
                if (hasValue) {
                    options->settingsFile = value;
                } else if (i + 1 < arguments.size()) {
                    options->settingsFile = arguments[++i];
                } else {
                    *error = "--settings needs a file name";
                    return false;
                }
                if (options->settingsFile.isEmpty()) {
                    *error = "--settings needs a file name";
                    return false;
                }
            } else if (name == "--simulate") {
                options->simulate = true;
                options->faults = value;
            } else if (arg == "--nologo") {
                options->nologo = true;
            } else if (arg == "--help") {
                options->help = true;
            } else if (arg == "--version") {
                options->version = true;
            } else {
                *error = "unknown option " + arg;
                return false;
            }
        } else if ((arg.startsWith('/') || arg.startsWith('-')) && arg.size() > 1) {
            if (arg.mid(1) == "nologo") options->nologo = true;
        } else {
            *error = "unexpected argument " + arg;
            return false;
        }
    }
    return true;
}

QString UsageText() {
    return "Usage: zul [--settings FILE] [--simulate[=FAULTS]] [/nologo]\n"
           "ZUL for KVR 7700: installs applications into the engine analyzer.\n"
           "  --settings FILE       use FILE as the settings file instead of the located zultw.ini\n"
           "  --simulate[=FAULTS]   talk to a simulated tester instead of the COM port, with the\n"
           "                        faults given (comma-separated, as zul-cli simulate takes them)\n"
           "  /nologo, -nologo      start without the splash picture\n"
           "  --help, --version     what they say\n";
}

}  // namespace zul::gui
