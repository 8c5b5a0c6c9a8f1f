// zul-cli list [--dir DIR] [--ext EXT]: the applications the download dialog
// would offer, in its order.
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>

#include "cli/printable.h"
#include "cli/script_tools.h"

namespace zul::cli {
namespace {

void SetupList(CLI::App& app, Context& context) {
    auto options = std::make_shared<CatalogueOptions>();
    auto* cmd = app.add_subcommand("list", "List the applications the download dialog would offer");
    options->AddTo(cmd);
    cmd->callback([&context, options] {
        context.Start();
        auto catalogue = options->Build(context);
        // A slot without a record is what the dialog reports one by one.
        for (int i = 0; i < catalogue->CatalogueCount(); ++i)
            if (!catalogue->CatalogueItem(i)) std::cout << "Couldn't load script files!\n";
        const std::vector<int> listed = ListedApplications(*catalogue);
        if (listed.empty()) {
            std::cout << "No applications available.\n";
            context.exitCode = 0;
            return;
        }
        std::size_t nameWidth = 4, versionWidth = 7;
        for (int i : listed) {
            nameWidth = std::max(nameWidth, Printable(catalogue->CatalogueItem(i)->appName).size());
            versionWidth = std::max(versionWidth, Printable(catalogue->CatalogueItem(i)->appVersion).size());
        }
        std::cout << std::left << std::setw(static_cast<int>(nameWidth)) << "Name" << "  "
                  << std::setw(static_cast<int>(versionWidth)) << "Version" << "  " << std::right << std::setw(10)
                  << "Statements" << "  Script\n";
        for (int i : listed) {
            const ApplicationRecord& r = *catalogue->CatalogueItem(i);
            std::cout << std::left << std::setw(static_cast<int>(nameWidth)) << Printable(r.appName) << "  "
                      << std::setw(static_cast<int>(versionWidth)) << Printable(r.appVersion) << "  " << std::right
                      << std::setw(10) << r.statementCount << "  "
                      << Printable(std::filesystem::path(r.scriptPath).filename().string()) << "\n";
        }
        context.exitCode = 0;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("list", SetupList);

}  // namespace zul::cli
