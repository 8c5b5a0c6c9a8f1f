// Fuzzes the script reader with arbitrary encoded bytes and checks what the
// parse promises: section and key names unique without regard to case, lines
// within their capacity, lookups consistent with the parsed lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "script/profile_document.h"
#include "script/text_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zul::ProfileDocument doc;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (doc.LoadEncoded(bytes) != (size > 0)) std::abort();
    const auto& names = doc.sectionNames();
    const auto& sections = doc.sections();
    if (names.size() != sections.size()) std::abort();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (doc.FindSection(names[i]) != static_cast<int>(i)) std::abort();
        const zul::ProfileSection& section = sections[i];
        if (section.keys.empty() || section.keys.size() != section.values.size()) std::abort();
        for (std::size_t k = 0; k < section.keys.size(); ++k) {
            if (zul::ProfileDocument::FindKey(section, section.keys[k]) != static_cast<int>(k)) std::abort();
            if (section.keys[k].size() >= zul::ProfileDocument::kLineCapacity) std::abort();
            std::string value;
            if (!doc.GetString(zul::script_text::Lower(names[i]), section.keys[k], &value)) std::abort();
            if (value != section.values[k]) std::abort();
            int number = 0;
            doc.GetInt(names[i], section.keys[k], &number);
        }
    }
    doc.CloseDocument();
    if (!doc.sectionNames().empty()) std::abort();
    return 0;
}
