#pragma once
// What the progress recorders share: their events as "kind:value" strings,
// and the status texts picked out of them in order.
#include <string>
#include <vector>

namespace zul::test {

inline std::vector<std::string> StatusesIn(const std::vector<std::string>& events) {
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.rfind("status:", 0) == 0) out.push_back(e.substr(7));
    return out;
}

}  // namespace zul::test
