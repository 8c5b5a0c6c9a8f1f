#pragma once
#include "host/messages.h"
#include "cli/command.h"

namespace zul::cli {

// Message boxes on a terminal: the caption and the text on standard output;
// a question is answered by --yes, or asked on the terminal. Without a
// terminal to ask (end of input), the cautious answer is taken.
class TerminalSink final : public MessageSink {
public:
    explicit TerminalSink(const Context& context) : context_(context) {}
    int Show(std::string_view text, std::string_view caption, unsigned type) override;

private:
    const Context& context_;
};

}  // namespace zul::cli
