// zul-cli test-port [--yes] [N]: the COM port loopback test, as the main
// window's command runs it. Exit 0 when it passed, 1 when it failed, 2 when
// a confirmation was cancelled.
#include <iostream>
#include <string>

#include "host/messages.h"
#include "host/startup.h"
#include "cli/command.h"
#include "ui/ports/com_port_selection.h"
#include "ui/front_end.h"
#include "serial/device_names.h"

namespace zul::cli {
namespace {

// Passes every message on and remembers the last text, to tell a pass from a
// failure (both end with OK).
class WatchingSink final : public MessageSink {
public:
    explicit WatchingSink(MessageSink& inner) : inner_(inner) {}
    int Show(std::string_view text, std::string_view caption, unsigned type) override {
        lastText = std::string(text);
        return inner_.Show(text, caption, type);
    }
    std::string lastText;

private:
    MessageSink& inner_;
};

class TerminalStatus final : public StatusWindow {
public:
    void Open(std::string_view text) override { std::cout << text << std::endl; }
    void Close() override {}
};

void SetupTestPort(CLI::App& app, Context& context) {
    auto* cmd = app.add_subcommand("test-port", "Run the COM port loopback test (needs the self-test adapter)");
    static int positionalPort = 0;
    cmd->add_flag("--yes", context.assumeYes, "Answer both questions with OK");
    cmd->add_option("N", positionalPort, "COM port number (default: the selected port)")->check(CLI::Range(1, 256));
    cmd->callback([&context] {
        context.Start();
        const int number = positionalPort > 0 ? positionalPort : CurrentPortSelection()->portNumber;
        WatchingSink watching(CurrentMessageSink());
        FrontEnd watched = InstalledFrontEnd();
        watched.messageSink = &watching;
        TerminalStatus status;
        int result = 0;
        {
            const FrontEndScope scope(watched);
            result = runComPortTest(number, &status);
        }
        if (result == kIdCancel) {
            context.exitCode = 2;
            return;
        }
        if (watching.lastText == LoadResourceString(kIdsComTestPassed)) {
            context.exitCode = 0;
            return;
        }
        const std::string reason = DescribeOpenFailure(LastOpenFailure());
        std::cout.flush();
        // A reason that begins with the port's own name needs no prefix.
        std::string device = LastOpenFailure().device;
        if (device.rfind("\\\\.\\", 0) == 0) device = device.substr(4);
        const bool namesPort = ComNumberOfName(device.c_str()) == number;
        if (!reason.empty()) std::cerr << (namesPort ? "" : "COM" + std::to_string(number) + ": ") << reason << "\n";
        context.exitCode = 1;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("test-port", SetupTestPort);

}  // namespace zul::cli
