#include "cli/terminal_sink.h"

#include <iostream>
#include <string>

#include "cli/printable.h"

namespace zul::cli {

int TerminalSink::Show(std::string_view text, std::string_view caption, unsigned type) {
    // Texts come from scripts too: they must not drive the terminal.
    std::cout << "[" << Printable(caption) << "] " << Printable(text, true) << "\n";
    const unsigned buttons = type & kMbButtonMask;
    if (buttons == kMbOk) {
        std::cout.flush();
        return kIdOk;
    }
    const bool yesNo = buttons == kMbYesNo;
    if (context_.assumeYes) {
        std::cout << (yesNo ? "(yes)" : "(OK)") << "\n";
        return yesNo ? kIdYes : kIdOk;
    }
    for (;;) {
        std::cout << (yesNo ? "Yes or No? [y/n] " : "OK or Cancel? [o/c] ") << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::cout << "\n";
            return DefaultAnswer(type);
        }
        if (answer.empty()) continue;
        const char c = static_cast<char>(answer[0] | 0x20);
        if (yesNo && c == 'y') return kIdYes;
        if (yesNo && c == 'n') return kIdNo;
        if (!yesNo && c == 'o') return kIdOk;
        if (!yesNo && c == 'c') return kIdCancel;
    }
}

}  // namespace zul::cli
