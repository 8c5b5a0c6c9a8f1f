#include "script/profile_document.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "script/text_util.h"
#include "support/ascii_to_int.h"

namespace zul {

using script_text::EqualNoCase;
using script_text::IsBlank;
using script_text::TrimBlanks;

std::string ComplementBytes(std::string_view bytes) {
    std::string out(bytes.size(), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<char>(255 - static_cast<unsigned char>(bytes[i]));
    return out;
}

namespace {

ScriptReadHook& ReadHook() {
    static ScriptReadHook hook;
    return hook;
}

// Only regular files are read: opening a pipe or a device named by a script
// could block the download forever.
bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    try {
        return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
    } catch (const std::exception&) {
        return false;  // a name the platform cannot convert names no file we can read
    }
}

}  // namespace

ScriptReadHook SetScriptReadHook(ScriptReadHook hook) {
    ScriptReadHook previous = std::move(ReadHook());
    ReadHook() = std::move(hook);
    return previous;
}

bool ProbeFileLength(const std::string& path, unsigned long long* length) {
    *length = 0;
    if (path.empty() || !IsRegularFile(path)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    // The file system's own size: no 2 GB limit where long is 32 bits.
    std::error_code ec;
    std::uintmax_t size = 0;
    try {
        size = std::filesystem::file_size(std::filesystem::path(path), ec);
    } catch (const std::exception&) {
        return false;
    }
    if (ec) return false;
    *length = static_cast<unsigned long long>(size);
    return true;
}

std::string RegularFileProblem(const std::string& path) {
    unsigned long long length = 0;
    if (ProbeFileLength(path, &length)) return std::string();
    std::error_code ec;
    std::filesystem::file_status status;
    try {
        status = std::filesystem::status(std::filesystem::path(path), ec);
    } catch (const std::exception&) {
        return "cannot be opened";
    }
    if (path.empty() || status.type() == std::filesystem::file_type::not_found) return "does not exist";
    if (status.type() == std::filesystem::file_type::directory) return "is a directory";
    if (!ec && status.type() != std::filesystem::file_type::regular) return "is not a regular file";
    return "cannot be opened";
}

std::string ScriptFileProblem(const std::string& path) {
    if (std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
    unsigned long long length = 0;
    ProbeFileLength(path, &length);
    if (length == 0) return "is empty";
    if (length > kMaxScriptFileSize)
        return "is " + std::to_string(length) + " bytes long, larger than any script (at most " +
               std::to_string(kMaxScriptFileSize) + ")";
    std::string bytes;
    return ReadScriptFileBytes(path, &bytes) ? std::string() : "cannot be read";
}

bool ReadScriptFileBytes(const std::string& path, std::string* bytes) {
    bytes->clear();
    unsigned long long length = 0;
    if (!ProbeFileLength(path, &length) || length == 0 || length > kMaxScriptFileSize) return false;
    if (ReadHook()) ReadHook()(path);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    // The probe only sizes the first allocation; a file that grows or shrinks
    // while it is read is refused below instead of being read half.
    constexpr unsigned long long kReserveLimit = 1ull << 20;
    bytes->reserve(static_cast<std::size_t>(length < kReserveLimit ? length : kReserveLimit));
    char chunk[4096];
    bool ok = true;
    for (;;) {
        std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n == 0) break;
        if (bytes->size() + n > length) {
            ok = false;
            break;
        }
        bytes->append(chunk, n);
    }
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    if (!ok || bytes->size() != length) {
        bytes->clear();
        return false;
    }
    return true;
}

bool ProfileDocument::LoadFile(const char* path) {
    CloseDocument();
    if (!path) return false;
    std::string bytes;
    if (!ReadScriptFileBytes(path, &bytes)) return false;
    return LoadEncoded(bytes, path);
}

bool ProfileDocument::LoadEncoded(std::string_view encoded, const std::string& path) {
    CloseDocument();
    if (encoded.empty()) return false;
    file_.path = path;
    file_.buffer = ComplementBytes(encoded);
    Parse();
    return true;
}

void ProfileDocument::CloseDocument() {
    sectionNames_.clear();
    sections_.clear();
    file_ = EncodedFileBuffer();
    readPosition_ = 0;
}

bool ProfileDocument::ReadLine(std::string* line) {
    line->clear();
    const std::string& text = file_.buffer;
    std::size_t used = 0;
    bool appended = false;
    while (readPosition_ < text.size()) {
        if (used == kLineCapacity) return false;  // a line too long ends the parse
        char c = text[readPosition_++];
        ++used;
        if (c == '\n') return true;
        if (c == '\r') continue;
        line->push_back(c);
        appended = true;
    }
    if (used == kLineCapacity) return false;
    return appended;
}

void ProfileDocument::Parse() {
    sectionNames_.clear();
    sections_.clear();
    readPosition_ = 0;
    std::string current;
    std::string line;
    while (ReadLine(&line)) {
        if (line.empty()) continue;
        std::string_view rest(line);
        while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
        if (rest.empty() || rest.front() == ';') continue;
        if (rest.front() == '[' && rest.back() == ']') {
            while (!rest.empty() && rest.front() == '[') rest.remove_prefix(1);
            while (!rest.empty() && rest.back() == ']') rest.remove_suffix(1);
            current.assign(rest);
            continue;
        }
        std::size_t eq = rest.find('=');
        if (eq == std::string_view::npos) continue;
        AddEntry(current, std::string(TrimBlanks(rest.substr(0, eq))), std::string(TrimBlanks(rest.substr(eq + 1))),
                 true);
    }
}

bool ProfileDocument::AddEntry(const std::string& section, const std::string& key, const std::string& value,
                               bool create) {
    int s = FindSection(section);
    if (s < 0) {
        if (!create) return false;
        sectionNames_.push_back(section);
        sections_.emplace_back();
        s = static_cast<int>(sections_.size()) - 1;
    }
    ProfileSection& sec = sections_[static_cast<std::size_t>(s)];
    int k = FindKey(sec, key);
    if (k < 0) {
        if (!create) return false;
        sec.keys.push_back(key);
        sec.values.emplace_back();
        k = static_cast<int>(sec.keys.size()) - 1;
        sec.index.emplace(script_text::Lower(key), static_cast<std::size_t>(k));
    }
    sec.values[static_cast<std::size_t>(k)] = value;
    return true;
}

int ProfileDocument::FindSection(std::string_view name) const {
    for (std::size_t i = 0; i < sectionNames_.size(); ++i)
        if (EqualNoCase(sectionNames_[i], name)) return static_cast<int>(i);
    return -1;
}

int ProfileDocument::FindKey(const ProfileSection& section, std::string_view key) {
    if (section.index.size() == section.keys.size()) {
        auto it = section.index.find(script_text::Lower(key));
        return it == section.index.end() ? -1 : static_cast<int>(it->second);
    }
    for (std::size_t i = 0; i < section.keys.size(); ++i)
        if (EqualNoCase(section.keys[i], key)) return static_cast<int>(i);
    return -1;
}

bool ProfileDocument::GetString(std::string_view section, std::string_view key, std::string* result) const {
    result->clear();
    int s = FindSection(section);
    if (s < 0) return false;
    const ProfileSection& sec = sections_[static_cast<std::size_t>(s)];
    int k = FindKey(sec, key);
    if (k < 0) return false;
    *result = sec.values[static_cast<std::size_t>(k)];
    return true;
}

bool ProfileDocument::GetInt(std::string_view section, std::string_view key, int* result) const {
    *result = 0;
    std::string text;
    if (!GetString(section, key, &text)) return false;
    *result = AsciiToInt(text);
    return true;
}

}  // namespace zul
