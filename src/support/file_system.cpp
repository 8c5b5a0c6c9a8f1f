#include "support/file_system.h"

#include <atomic>

#include "support/platform.h"

namespace zul {

bool WriteFileAtomically(FileSystem& fs, const std::string& path, const std::string& contents) {
    static std::atomic<unsigned> counter{0};
    const std::string temp = path + ".tmp" + std::to_string(CurrentProcessId()) + "-" + std::to_string(counter++);
    if (!fs.WriteFile(temp, contents)) {
        fs.Remove(temp);
        return false;
    }
    if (!fs.Rename(temp, path)) {
        fs.Remove(temp);
        return false;
    }
    return true;
}

}  // namespace zul
