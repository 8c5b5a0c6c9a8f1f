#pragma once
// The applications that can be offered for download: one record per file in
// the script directory whose name matches "*.<extension>".
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/application_record.h"

namespace zul {

// Paths (script directory plus separator plus name) hold at most this many characters.
inline constexpr std::size_t kMaxScriptPath = 259;

class ApplicationCatalogue {
public:
    int CatalogueCount() const { return static_cast<int>(items_.size()); }
    // The record at `index`; nullptr outside 0..count-1. The pointer stays
    // valid for the catalogue's life.
    ApplicationRecord* CatalogueItem(int index) const;

    void Append(std::unique_ptr<ApplicationRecord> record) { items_.push_back(std::move(record)); }

private:
    std::vector<std::unique_ptr<ApplicationRecord>> items_;
};

// Never fails: a missing or unreadable directory gives an empty catalogue.
// Files are taken in name order without regard to letter case (ties by
// bytes), names matched against "*.<extension>" without regard to case;
// entries whose full path would exceed kMaxScriptPath are skipped.
std::unique_ptr<ApplicationCatalogue> BuildCatalogue(const std::string& scriptDir, const std::string& imageDir,
                                                     const std::string& extension);

// The indices the download list shows, in its order: records with at least
// one statement, by name ascending without regard to letter case (equal names
// in catalogue order).
std::vector<int> ListedApplications(const ApplicationCatalogue& catalogue);

// Wildcard match ('*' any run, '?' one character) without regard to ASCII case.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// The full path of an entry of the script directory ("\" on Windows, "/" elsewhere).
std::string JoinScriptPath(const std::string& directory, const std::string& name);

}  // namespace zul
