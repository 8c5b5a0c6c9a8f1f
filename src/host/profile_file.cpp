#include "host/profile_file.h"

#include <vector>

namespace zul {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// One physical line of the file, without its line end.
struct Line {
    std::string_view text;
    size_t begin;  // offset of the line in the file
    size_t end;    // offset just past its line end
};

// A line ends at LF, CR LF or a lone CR (files edited with old Mac tools).
std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t stop = text.find_first_of("\r\n", pos);
        if (stop == std::string_view::npos) stop = text.size();
        size_t next = stop;
        if (next < text.size() && text[next] == '\r') ++next;
        if (next < text.size() && text[next] == '\n' && (next == stop || text[stop] == '\r')) ++next;
        lines.push_back({text.substr(pos, stop - pos), pos, next});
        pos = next;
    }
    return lines;
}

// A section header "[name]" (blanks around it allowed); returns the name.
bool SectionHeader(std::string_view line, std::string_view* name) {
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// A "key=value" entry; comments (';') and lines without '=' are not entries.
bool Entry(std::string_view line, std::string_view* key, std::string_view* value) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

struct Location {
    bool sectionFound = false;
    size_t sectionLine = 0;   // index of the header
    size_t lastEntryLine = 0; // last entry of the section (or the header)
    bool keyFound = false;
    size_t keyLine = 0;
    std::string_view value;
};

Location Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Location loc;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionHeader(lines[i].text, &name)) {
            if (inside) break;  // only the first matching section counts
            if (SameName(name, section)) {
                inside = true;
                loc.sectionFound = true;
                loc.sectionLine = i;
                loc.lastEntryLine = i;
            }
            continue;
        }
        if (!inside) continue;
        std::string_view k, v;
        if (Entry(lines[i].text, &k, &v)) {
            loc.lastEntryLine = i;
            if (!loc.keyFound && SameName(k, key)) {
                loc.keyFound = true;
                loc.keyLine = i;
                loc.value = v;
            }
        }
    }
    return loc;
}

}  // namespace

std::string ProfileLookup(std::string_view text, std::string_view section, std::string_view key, bool* found) {
    std::vector<Line> lines = SplitLines(text);
    Location loc = Locate(lines, section, key);
    *found = loc.keyFound;
    return loc.keyFound ? std::string(loc.value) : std::string();
}

std::string ProfileUpdate(std::string_view text, std::string_view section, std::string_view key,
                          std::string_view value, std::string_view newline) {
    std::vector<Line> lines = SplitLines(text);
    Location loc = Locate(lines, section, key);
    const std::string entry = std::string(key) + "=" + std::string(value);
    std::string out;
    if (loc.keyFound) {
        const Line& l = lines[loc.keyLine];
        size_t bodyEnd = l.begin + l.text.size();
        out.append(text.substr(0, l.begin));
        out.append(entry);
        out.append(text.substr(bodyEnd));
        return out;
    }
    if (loc.sectionFound) {
        const Line& l = lines[loc.lastEntryLine];
        out.append(text.substr(0, l.end));
        if (l.end == l.begin + l.text.size()) out.append(newline);  // the last line had no line end
        out.append(entry);
        out.append(newline);
        out.append(text.substr(l.end));
        return out;
    }
    out.append(text);
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out.append(newline);
    out.append("[").append(section).append("]").append(newline);
    out.append(entry).append(newline);
    return out;
}

std::string ReadProfileString(FileSystem& fs, const std::string& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue, std::size_t size) {
    std::string text;
    std::string result(defaultValue);
    if (fs.ReadRegularFile(file, &text, kMaxProfileFileSize) == FileReadStatus::kOk) {
        bool found = false;
        std::string value = ProfileLookup(text, section, key, &found);
        if (found) result = std::move(value);
    }
    if (size == 0) return std::string();
    if (result.size() > size - 1) result.resize(size - 1);
    return result;
}

bool WriteProfileString(FileSystem& fs, const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::string text;
    // Only a regular file of a settings file's size is rewritten; a file that
    // is there but cannot be read must not be replaced by one that holds only
    // the new key.
    const FileReadStatus status = fs.ReadRegularFile(file, &text, kMaxProfileFileSize);
    if (status != FileReadStatus::kOk && status != FileReadStatus::kMissing) return false;
    // Keep the file's own line ends; a new file gets the platform's.
    std::string_view newline = PathSeparator() == '\\' ? "\r\n" : "\n";
    if (status == FileReadStatus::kOk) {
        size_t end = text.find_first_of("\r\n");
        if (end != std::string::npos) {
            if (text[end] == '\n')
                newline = "\n";
            else
                newline = end + 1 < text.size() && text[end + 1] == '\n' ? "\r\n" : "\r";
        }
    }
    return fs.RewriteFile(file, ProfileUpdate(text, section, key, value, newline));
}

}  // namespace zul
