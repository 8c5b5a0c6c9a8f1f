#include "script/application_catalogue.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "script/text_util.h"
#include "support/file_system.h"

namespace zul {

using script_text::AsciiLower;

ApplicationRecord* ApplicationCatalogue::CatalogueItem(int index) const {
    if (index < 0 || index >= CatalogueCount()) return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    // Iterative wildcard match with one back-tracking point per '*'.
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<int> ListedApplications(const ApplicationCatalogue& catalogue) {
    std::vector<int> listed;
    for (int i = 0; i < catalogue.CatalogueCount(); ++i) {
        const ApplicationRecord* record = catalogue.CatalogueItem(i);
        if (record && record->statementCount > 0) listed.push_back(i);
    }
    std::stable_sort(listed.begin(), listed.end(), [&](int a, int b) {
        return script_text::Lower(catalogue.CatalogueItem(a)->appName) <
               script_text::Lower(catalogue.CatalogueItem(b)->appName);
    });
    return listed;
}

std::string JoinScriptPath(const std::string& directory, const std::string& name) {
    return directory + PathSeparator() + name;
}

std::unique_ptr<ApplicationCatalogue> BuildCatalogue(const std::string& scriptDir, const std::string& imageDir,
                                                     const std::string& extension) {
    auto catalogue = std::make_unique<ApplicationCatalogue>();
    const std::string pattern = "*." + extension;
    // The search pattern is formed as directory, separator, pattern; one that
    // does not fit finds nothing.
    if (scriptDir.size() + 1 + pattern.size() > kMaxScriptPath) return catalogue;

    // An empty directory name resolves against the root, as the pattern "\*.x" does.
    const std::string listed = scriptDir.empty() ? std::string(1, PathSeparator()) : scriptDir;
    std::vector<std::string> names;
    try {
        std::error_code ec;
        std::filesystem::directory_iterator it(std::filesystem::path(listed), ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::string name;
            try {
                name = it->path().filename().string();
            } catch (const std::exception&) {
                continue;  // not expressible in the narrow code page: no script path can name it
            }
            if (MatchesPattern(name, pattern)) names.push_back(std::move(name));
        }
    } catch (const std::exception&) {
        // A directory name the platform cannot convert: nothing to list.
    }
    // The directory order of POSIX file systems is arbitrary; the order users
    // know is by name without regard to case.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string la = script_text::Lower(a), lb = script_text::Lower(b);
        return la != lb ? la < lb : a < b;
    });
    for (const std::string& name : names) {
        std::string path = JoinScriptPath(scriptDir, name);
        if (path.size() > kMaxScriptPath) continue;  // would be cut short, naming another file
        catalogue->Append(LoadApplication(path, imageDir));
    }
    return catalogue;
}

}  // namespace zul
