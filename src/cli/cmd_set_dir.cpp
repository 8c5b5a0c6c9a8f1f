// zul-cli set-dir DIR: what OK in the Setup Directory dialog does to the
// settings file. Like the dialog it stores any text; it only warns.
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "ui/directory/setup_directory.h"

namespace zul::cli {
namespace {

void SetupSetDir(CLI::App& app, Context& context) {
    auto dir = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand("set-dir", "Make DIR the application directory (scripts and images)");
    cmd->add_option("DIR", *dir, "The folder that holds the script files")->required();
    cmd->callback([&context, dir] {
        context.Start();
        std::string directory = *dir;
        // A relative path would be taken from wherever ZUL runs next.
        std::error_code error;
        if (!directory.empty() && std::filesystem::path(directory).is_relative()) {
            const auto absolute = std::filesystem::absolute(directory, error);
            if (!error) directory = absolute.string();
        }
        SettingsStore store = context.Settings();
        const std::string extension = store.ReadScriptExtension();
        switch (CheckApplicationDirectory(directory, extension)) {
            case DirectoryProblem::NotAFolder:
                std::cerr << "zul-cli: warning: " << directory << " is not a folder (stored anyway)\n";
                break;
            case DirectoryProblem::NoScripts:
                std::cerr << "zul-cli: warning: " << directory << " holds no script files (*." << extension
                          << ") (stored anyway)\n";
                break;
            case DirectoryProblem::None:
                break;
        }
        WriteApplicationDirectory(store, directory);
        std::cout << "Dir Setup/QOBDir = " << store.ReadScriptDir() << "\n"
                  << "Dir Setup/ImgQOBDir = " << store.ReadImageDir() << "\n";
        context.exitCode = 0;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("set-dir", SetupSetDir);

}  // namespace zul::cli
