// Fuzzes the settings-file reader and writer with an INI file of arbitrary
// bytes and checks what every write promises: the value written reads back,
// and every other setting reads as it did before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "host/profile_file.h"
#include "support/file_system.h"

namespace {

// Files in memory, so that the real write path (line-end detection, the
// temporary file and the rename) runs without a disk.
class MemoryFiles final : public zul::FileSystem {
public:
    std::map<std::string, std::string> files;
    bool ReadFile(const std::string& path, std::string* contents) override {
        auto it = files.find(path);
        if (it == files.end()) return false;
        *contents = it->second;
        return true;
    }
    bool Exists(const std::string& path) override { return files.count(path) != 0; }
    bool WriteFile(const std::string& path, const std::string& contents) override {
        files[path] = contents;
        return true;
    }
    bool Rename(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end()) return false;
        files[to] = it->second;
        files.erase(it);
        return true;
    }
    void Remove(const std::string& path) override { files.erase(path); }
};

struct Setting {
    const char* section;
    const char* key;
};

constexpr Setting kSettings[] = {
    {"WriteTest", "Val"},     {"comm", "Port"},          {"Comm Strings", "Port"},
    {"Dir Setup", "QOBDir"},  {"dir setup", "QOBFileType"}, {"Devices", "COM3"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kCount = sizeof kSettings / sizeof kSettings[0];
    std::string before[kCount];
    bool had[kCount];
    for (std::size_t i = 0; i < kCount; ++i)
        before[i] = zul::ProfileLookup(text, kSettings[i].section, kSettings[i].key, &had[i]);

    for (std::size_t i = 0; i < kCount; ++i) {
        MemoryFiles fs;
        fs.files["zultw.ini"] = text;
        if (!zul::WriteProfileString(fs, "zultw.ini", kSettings[i].section, kSettings[i].key, "12345")) std::abort();
        if (fs.files.size() != 1) std::abort();  // no temporary file left behind
        const std::string& after = fs.files["zultw.ini"];
        for (std::size_t j = 0; j < kCount; ++j) {
            bool found = false;
            const std::string value = zul::ProfileLookup(after, kSettings[j].section, kSettings[j].key, &found);
            if (j == i) {
                if (!found || value != "12345") std::abort();
            } else if (found != had[j] || value != before[j]) {
                std::abort();
            }
        }
        // The bounded read sees the same as the lookup.
        if (zul::ReadProfileString(fs, "zultw.ini", kSettings[i].section, kSettings[i].key, "dflt", 256) != "12345")
            std::abort();
    }
    return 0;
}
