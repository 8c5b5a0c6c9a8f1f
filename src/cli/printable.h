#pragma once
// Text from scripts and from the tester goes to a terminal: an escape or bell
// byte in an application name or a message must not drive it. Control bytes
// are shown as escapes instead.
#include <string>
#include <string_view>

namespace zul::cli {

// `text` with every control character shown visibly: "\r", "\n" (unless line
// breaks are kept), "\x1b" and the like; tabs stay. Bytes of 0x80 and above
// stay when they form UTF-8 characters other than the C1 controls, and are
// shown as "\xNN" otherwise.
std::string Printable(std::string_view text, bool keepLineBreaks = false);

}  // namespace zul::cli
