#pragma once
#include <string>

namespace zul {

// The C library's atoi, without its undefined behaviour on overflow: leading
// blanks and a sign are accepted, conversion stops at the first non-digit, and
// text without leading digits gives 0. Out-of-range values saturate.
int AsciiToInt(const std::string& text);

}  // namespace zul
