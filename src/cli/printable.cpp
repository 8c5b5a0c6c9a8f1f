#include "cli/printable.h"

#include <cstdio>

namespace zul::cli {
namespace {

void Escape(std::string& out, unsigned char c) {
    if (c == '\r') {
        out += "\\r";
    } else if (c == '\n') {
        out += "\\n";
    } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += hex;
    }
}

// The length of the UTF-8 character at the start of `text` when it is a
// well-formed one that prints (not a C1 control), else 0.
std::size_t PrintableUtf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    if (code <= 0x9F) return 0;  // C1 controls, such as the one-byte CSI
    return length;
}

}  // namespace

std::string Printable(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c == '\n' && keepLineBreaks) || c == '\t' || (c >= 0x20 && c < 0x7F)) {
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x80) {
            Escape(out, c);
            ++i;
        } else if (const std::size_t length = PrintableUtf8Length(text.substr(i)); length != 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            Escape(out, c);
            ++i;
        }
    }
    return out;
}

}  // namespace zul::cli
