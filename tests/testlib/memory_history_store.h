#pragma once
#include <map>
#include <string>

#include "ui/directory/folder_history.h"

namespace zul::test {

// A history store in memory, keyed "section|key".
class MemoryHistoryStore : public HistoryStore {
public:
    std::map<std::string, std::string> values;
    std::optional<std::string> Read(const std::string& section, const std::string& key) override {
        auto it = values.find(section + "|" + key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void Write(const std::string& section, const std::string& key, const std::string& value) override {
        values[section + "|" + key] = value;
    }
};

}  // namespace zul::test
