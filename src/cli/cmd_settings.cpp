// zul-cli settings: the settings file in use and every value as ZUL reads it now.
#include <iostream>

#include "host/startup.h"
#include "cli/command.h"

namespace zul::cli {
namespace {

void SetupSettings(CLI::App& app, Context& context) {
    auto* cmd = app.add_subcommand("settings", "Print the settings file in use and every setting as read now");
    cmd->callback([&context] {
        context.Start();
        SettingsStore store = context.Settings();
        int portNumber = 0;
        store.ReadPortNumber(&portNumber);
        std::cout << "settings file = " << SettingsFilePath() << "\n"
                  << "WriteTest/Val = " << store.ReadValue("WriteTest", "Val", "") << "\n"
                  << "Comm Strings/Port = " << store.ReadPortName() << "\n"
                  << "comm/Port = " << portNumber << "\n"
                  << "Dir Setup/QOBClosingMsg = " << store.ReadClosingMessage() << "\n"
                  << "Dir Setup/QOBDir = " << store.ReadScriptDir() << "\n"
                  << "Dir Setup/ImgQOBDir = " << store.ReadImageDir() << "\n"
                  << "Dir Setup/QOBFileType = " << store.ReadScriptExtension() << "\n";
        context.exitCode = 0;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("settings", SetupSettings);

}  // namespace zul::cli
