// zul-cli select-port N: what OK in the "Select COM Port" dialog does, for
// scripts and machines without a screen: stores COM N (1 to 10) under both
// keys of the settings file.
#include <iostream>

#include "host/startup.h"
#include "cli/command.h"
#include "ui/ports/com_port_selection.h"

namespace zul::cli {
namespace {

void SetupSelectPort(CLI::App& app, Context& context) {
    static int number = 0;
    auto* cmd = app.add_subcommand("select-port", "Select COM port N (1 to 10) as the dialog's OK does");
    cmd->add_option("N", number, "COM port number")
        ->required()
        ->check(CLI::Range(1, SelectComPortChoice::kPortCount));
    cmd->callback([&context] {
        context.Start();
        SettingsStore store = context.Settings();
        SelectComPortChoice choice(store);
        choice.select(number - 1);
        choice.Confirm(store);
        std::cout << "Selected COM" << number << " in " << SettingsFilePath() << "\n";
        context.exitCode = 0;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("select-port", SetupSelectPort);

}  // namespace zul::cli
