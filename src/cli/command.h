#pragma once
// The command-line front end. Every command lives in a file of its own that
// registers itself with ZUL_REGISTER_COMMAND; adding a command is adding a file.
#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "host/settings_store.h"

namespace zul::cli {

// What every command shares: the global options and the start-up core.
struct Context {
    std::string settingsFile;  // --settings: use this file instead of the located one
    bool assumeYes = false;    // --yes on commands that ask questions
    int portNumber = 0;        // --port: this COM number instead of the selected one (0: none)
    std::string devicePath;    // --device: open this device whatever the COM number
    int exitCode = 0;

    // Fixes the settings file (the --settings file or the location rule) and
    // loads the port selection, as every ZUL program does at start-up; then
    // applies --port and --device. A settings file that cannot be used (a
    // --settings path too long or not a regular file, or no place at all for
    // the located one) is reported on standard error and ends the command
    // with exit status 1 (CLI::RuntimeError, which main turns into the status).
    void Start();
    SettingsStore Settings() const;
};

using CommandSetup = void (*)(CLI::App& app, Context& context);

struct CommandRegistrar {
    CommandRegistrar(const char* name, CommandSetup setup);
};

#define ZUL_REGISTER_COMMAND(name, setup) \
    static const ::zul::cli::CommandRegistrar zul_command_registrar_##setup(name, setup)

}  // namespace zul::cli
