#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>

#include "host/messages.h"
#include "host/startup.h"
#include "cli/command.h"
#include "cli/terminal_sink.h"
#include "serial/device_names.h"
#include "support/session_log.h"
#include "ui/ports/device_map.h"
#include "ui/front_end.h"

namespace zul::cli {
namespace {

std::map<std::string, CommandSetup>& Registry() {
    static std::map<std::string, CommandSetup> commands;
    return commands;
}

}  // namespace

CommandRegistrar::CommandRegistrar(const char* name, CommandSetup setup) { Registry()[name] = setup; }

void Context::Start() {
    // A settings file ZUL cannot use ends the command before it does anything.
    std::string path = settingsFile;
    if (!path.empty()) {
        if (const std::string problem = SettingsFileProblem(RealFileSystem(), path); !problem.empty()) {
            std::cerr << "zul-cli: cannot use the settings file " << path << ": " << problem << "\n";
            throw CLI::RuntimeError(1);
        }
    } else {
        path = LocateSettingsFile();
        if (path.empty()) {
            std::cerr << "zul-cli: no place for the settings file: the program's directory cannot hold "
                      << kSettingsFileName
                      << " and no private per-user directory was found (HOME and XDG_CONFIG_HOME are not set to "
                         "absolute paths); name a file with --settings FILE\n";
            throw CLI::RuntimeError(1);
        }
    }
    SetSettingsFilePath(path);
    SetCurrentPortSelection(std::make_unique<PortSelection>(LoadPortSelection(SettingsFilePath())));
    if (portNumber > 0) {
        const std::string name = "COM" + std::to_string(portNumber);
        std::snprintf(CurrentPortSelection()->portName, sizeof(PortSelection::portName), "%.5s", name.c_str());
        CurrentPortSelection()->portNumber = portNumber;
    }
    SetDeviceOverride(devicePath);
}

SettingsStore Context::Settings() const { return SettingsStore(SettingsFilePath()); }

}  // namespace zul::cli

// The session log exists for the whole life of the program: created before
// main runs, destroyed after it has returned.
static zul::SessionLog g_sessionLog;

int main(int argc, char** argv) {
    using namespace zul::cli;
    CLI::App app{"ZUL: installs applications into the KVR 7700 engine analyzer over a serial line.", "zul-cli"};
    app.set_version_flag("--version", std::string("zul-cli ") + ZUL_VERSION);
    app.require_subcommand(1);
    app.fallthrough();

    Context context;
    app.add_option("--settings", context.settingsFile, "Use this settings file instead of the located one")
        ->option_text("FILE");
    app.add_option("--port", context.portNumber, "Use COM port N instead of the selected one")
        ->option_text("N")
        ->check(CLI::Range(1, 256));
    app.add_option("--device", context.devicePath, "Open this serial device instead of the COM port's device")
        ->option_text("PATH");

    for (auto& [name, setup] : Registry()) setup(app, context);

    // The terminal's front end, for every command: questions and messages on
    // the terminal, COM numbers looked up in the settings file the command
    // fixes (--device, read with the command's options, overrides it then).
    TerminalSink sink(context);
    zul::FrontEnd frontEnd;
    frontEnd.messageSink = &sink;
    frontEnd.deviceMap = &zul::SettingsDeviceForComNumber;
    {
        const zul::FrontEndScope installed(frontEnd);
        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError& e) {
            // Reports on the terminal itself, without the front end.
            return app.exit(e);
        }
    }
    zul::SetCurrentPortSelection(nullptr);
    return context.exitCode;
}
