// zul-cli identify: opens the link, asks the tester which it is, and says
// what it found.
#include <iostream>

#include "cli/command.h"
#include "cli/printable.h"
#include "cli/tester_cli.h"
#include "ui/download/tester_query.h"
#include "serial/device_names.h"
#include "tester/link_setup.h"

namespace zul::cli {
namespace {

void SetupIdentify(CLI::App& app, Context& context) {
    auto* cmd = app.add_subcommand("identify", "Ask the tester on the serial port which tester it is");
    auto options = std::make_shared<TesterLinkOptions>();
    options->AddTo(*cmd);
    cmd->callback([&context, options] {
        context.Start();
        int portNumber = 0;
        if (!options->Apply(&portNumber)) {
            context.exitCode = 1;
            return;
        }
        TerminalFlowView view;
        MonitorContext monitor;
        ClearOpenFailure();
        const HardwareId hardwareId = QueryTesterConfiguration(portNumber, monitor, view);
        if (LastOpenFailure().kind != OpenFailureKind::kNone)
            std::cerr << DescribeOpenFailure(LastOpenFailure()) << "\n";
        if (hardwareId == HardwareId::Ziz2) {
            std::cout << "COM" << portNumber << ": KVR 7700 (ZIZ2) in monitor mode; it answered \""
                      << Printable(monitor.Reply()) << "\"\n";
        } else if (hardwareId == HardwareId::Other) {
            std::cout << "COM" << portNumber << ": not a ZIZ2 tester; it answered \"" << Printable(monitor.Reply())
                      << "\"\n";
        }
        context.exitCode = hardwareId == HardwareId::Ziz2 ? 0 : 1;
        if (!options->FinishTrace()) context.exitCode = 1;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("identify", SetupIdentify);

}  // namespace zul::cli
