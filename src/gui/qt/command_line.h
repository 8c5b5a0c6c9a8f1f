#pragma once
// The window program's command line, after Qt has taken its own options.
#include <QString>
#include <QStringList>

namespace zul::gui {

struct GuiOptions {
    QString settingsFile;  // --settings FILE: this settings file instead of the located one
    bool simulate = false; // --simulate[=FAULTS]: a simulated tester instead of the COM port
    QString faults;        // comma-separated, as zul-cli simulate takes them
    bool nologo = false;   // no splash picture
    bool help = false;
    bool version = false;
};

// "nologo" after "/" or "-" (also "--nologo"); the name is compared with
// case, so "/NOLOGO" still shows the splash. Other words after "/" or "-" are
// accepted and mean nothing, as the platform's standard switches did. False
// with a message in `error` for an unknown "--" option or a stray word.
bool ParseCommandLine(const QStringList& arguments, GuiOptions* options, QString* error);

QString UsageText();

}  // namespace zul::gui
