// zul-cli encode FILE [-o OUT]: the encoded form of a plain-text script.
#include <memory>

#include "cli/script_tools.h"

namespace zul::cli {
namespace {

void SetupEncode(CLI::App& app, Context& context) {
    struct Options {
        std::string input, output;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand("encode", "Write the encoded form of a plain-text script file");
    cmd->add_option("FILE", options->input, "Plain-text script file")->required();
    cmd->add_option("-o,--output", options->output, "Write here instead of standard output")->option_text("OUT");
    cmd->callback([&context, options] {
        context.Start();
        context.exitCode = TranscodeScript(options->input, options->output);
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("encode", SetupEncode);

}  // namespace zul::cli
