// zul-cli decode FILE [-o OUT]: the plain text of an encoded script.
#include <memory>

#include "cli/script_tools.h"

namespace zul::cli {
namespace {

void SetupDecode(CLI::App& app, Context& context) {
    struct Options {
        std::string input, output;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand("decode", "Write the plain text of an encoded script file");
    cmd->add_option("FILE", options->input, "Encoded script file")->required();
    cmd->add_option("-o,--output", options->output, "Write here instead of standard output")->option_text("OUT");
    cmd->callback([&context, options] {
        context.Start();
        context.exitCode = TranscodeScript(options->input, options->output);
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("decode", SetupDecode);

}  // namespace zul::cli
