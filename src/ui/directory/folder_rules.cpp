#include "ui/directory/folder_rules.h"

#include <algorithm>
#include <cctype>

namespace zul {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
char ToLower(char c) { return IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
char ToUpper(char c) { return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToLower(a[i]) != ToLower(b[i])) return false;
    return true;
}

bool IsWindows(const FolderPlace& place) { return place.style == PathStyle::Windows; }

// Windows style: "X:" alone or "X:\".
bool IsDrivePath(std::string_view t) {
    return (t.size() == 2 && t[1] == ':') || (t.size() == 3 && t[1] == ':' && t[2] == '\\');
}

bool EndsWithSeparator(PathStyle style, std::string_view t) {
    return !t.empty() && (t.back() == StyleSeparator(style) || (style == PathStyle::Windows && t.back() == '/'));
}

std::string_view DropOneSeparator(PathStyle style, std::string_view t) {
    if (EndsWithSeparator(style, t)) t.remove_suffix(1);
    return t;
}

// Two backslashes followed by a server name, perhaps a share, but no folder
// below the share.
bool IsServerOrShareOnly(std::string_view t) {
    if (t.size() < 2 || t[0] != '\\' || t[1] != '\\') return false;
    return std::count(t.begin() + 2, t.end(), '\\') < 2;
}

bool IsBareServerName(std::string_view t) {
    return t.size() >= 2 && t[0] == '\\' && t[1] == '\\' && t.find('\\', 2) == std::string_view::npos;
}

std::string Resolved(const FolderPlace& place, std::string_view t) {
    return ResolvePath(place.style, place.current, place.home, t);
}

// The drive root a Windows-style path lies on, for the drive type.
std::string DriveRootOfText(const FolderPlace& place, std::string_view t) {
    return RootOf(place.style, Resolved(place, t));
}

// The message for a folder that could not be created. Windows style picks it
// by the type of the drive; POSIX by the cause the file system gave.
std::string CreateFailureText(const FolderPlace& place, std::string_view t, CreateFailure cause, bool fromEnter) {
    DriveType type = DriveType::Fixed;
    if (IsWindows(place)) {
        type = place.fs->DriveTypeOf(DriveRootOfText(place, t));
    } else if (cause == CreateFailure::ReadOnly) {
        type = DriveType::Removable;
    } else if (cause == CreateFailure::Network) {
        type = DriveType::Remote;
    }
    switch (type) {
        case DriveType::Removable: return kCreateWriteProtected;
        case DriveType::Remote: return kCreateNetwork;
        case DriveType::CdRom: return kCreateCdRom;
        default: return fromEnter ? kCreatePermissionOrOther : kCreatePermission;
    }
}

// Asks whether to create the missing folder `t` and creates it. True when it
// exists afterwards.
bool OfferToCreate(const FolderPlace& place, std::string_view t, bool fromEnter) {
    if (!place.prompts->AskYesNo(std::string(t) + kAskCreateFolder)) return false;
    const CreateFailure cause = place.fs->CreateWithParents(Resolved(place, t));
    if (cause == CreateFailure::None) return true;
    place.prompts->Warn(CreateFailureText(place, t, cause, fromEnter));
    return false;
}

struct RootParts {
    std::string root;  // "C:", "\\server\share" or ""
    std::string rest;  // what follows, separators included
};

RootParts SplitWindowsRoot(const std::string& path) {
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        std::size_t server = path.find('\\', 2);
        if (server == std::string::npos) return {path, ""};
        std::size_t share = path.find('\\', server + 1);
        if (share == std::string::npos) return {path, ""};
        return {path.substr(0, share), path.substr(share)};
    }
    if (path.size() >= 2 && path[1] == ':') return {path.substr(0, 2), path.substr(2)};
    return {"", path};
}

// Applies "." and ".." to the parts of `rest` separated by `sep`.
std::vector<std::string> Components(std::string_view rest, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(sep, start);
        if (end == std::string_view::npos) end = rest.size();
        std::string_view part = rest.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

std::string Join(const std::string& root, const std::vector<std::string>& parts, char sep) {
    std::string out = root;
    for (const auto& p : parts) {
        out += sep;
        out += p;
    }
    return out;
}

}  // namespace

char StyleSeparator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

std::string ResolvePath(PathStyle style, const std::string& current, const std::string& home, std::string_view text) {
    if (style == PathStyle::Posix) {
        std::string t(text);
        if (t == "~" || t.rfind("~/", 0) == 0) t = home + t.substr(1);
        if (t.empty() || t[0] != '/') t = current + "/" + t;
        std::string out = Join("", Components(t, '/'), '/');
        return out.empty() ? "/" : out;
    }
    std::string t(text);
    std::replace(t.begin(), t.end(), '/', '\\');
    const RootParts cur = SplitWindowsRoot(current);
    std::string root, rest;
    if (t.size() >= 2 && t[0] == '\\' && t[1] == '\\') {
        RootParts parts = SplitWindowsRoot(t);
        root = parts.root;
        rest = parts.rest;
    } else if (t.size() >= 2 && t[1] == ':' && IsLetter(t[0])) {
        root = t.substr(0, 2);
        root[0] = ToUpper(root[0]);
        rest = t.substr(2);
        // "C:name" is relative to the folder shown when that is on drive C.
        if (rest.empty() || rest[0] != '\\') rest = (EqualNoCase(cur.root, root) ? cur.rest : "") + "\\" + rest;
    } else if (!t.empty() && t[0] == '\\') {
        root = cur.root;
        rest = t;
    } else {
        root = cur.root;
        rest = cur.rest + "\\" + t;
    }
    const std::vector<std::string> parts = Components(rest, '\\');
    if (parts.empty() && root.size() == 2 && root[1] == ':') return root + "\\";
    return Join(root, parts, '\\');
}

std::string WithSeparator(PathStyle style, std::string path) {
    if (!EndsWithSeparator(style, path)) path += StyleSeparator(style);
    return path;
}

std::string RootOf(PathStyle style, const std::string& path) {
    if (style == PathStyle::Posix) return "/";
    return SplitWindowsRoot(path).root + "\\";
}

std::string ParentFolder(PathStyle style, const std::string& path) {
    return ResolvePath(style, path, "", "..");
}

bool IsDriveRoot(std::string_view t) { return t.size() == 3 && IsLetter(t[0]) && t[1] == ':' && t[2] == '\\'; }

bool IsValidDrive(FolderFileSystem& fs, char letter) {
    const DriveType type = fs.DriveTypeOf(std::string(1, letter) + ":\\");
    return type != DriveType::Unknown && type != DriveType::NoRootDir;
}

SelectDecision ValidateSelection(std::string_view text, const FolderPlace& place) {
    const bool windows = IsWindows(place);
    const std::string root(1, StyleSeparator(place.style));
    if (text.empty()) return {true, ""};
    if (text == root) return {true, std::string(text)};
    if (windows && text == "\\\\") {
        place.prompts->Warn(std::string(text) + kNotValidFolder);
        return {};
    }
    if (windows && IsDrivePath(text)) {
        if (!IsValidDrive(*place.fs, text[0])) {
            place.prompts->Warn(std::string(text) + kDriveInvalid);
            return {};
        }
        return {true, std::string(text)};
    }
    const std::string t(DropOneSeparator(place.style, text));
    switch (place.fs->Kind(Resolved(place, t))) {
        case EntryKind::Missing:
            if (windows && t.size() > 1 && t[1] == ':' && !IsValidDrive(*place.fs, t[0])) {
                place.prompts->Warn(t + kDriveInvalid);
                return {};
            }
            if (windows && t.size() > 1 && IsServerOrShareOnly(t)) {
                place.prompts->Warn(t + kNotValidFolder);
                return {};
            }
            if (!OfferToCreate(place, t, false)) return {};
            return {true, t};
        case EntryKind::File:
            place.prompts->Warn(t + kFileNotDirectory);
            return {};
        case EntryKind::Directory:
            break;
    }
    return {true, t};
}

EnterDecision PressEnter(std::string_view text, const FolderPlace& place) {
    const bool windows = IsWindows(place);
    const std::string root(1, StyleSeparator(place.style));
    std::string_view t = text;
    const bool keepSeparator = t == root || (windows && (t == "\\\\" || IsDriveRoot(t)));
    if (!keepSeparator) t = DropOneSeparator(place.style, t);
    if (t.empty() || t == root) return {true, std::string(t), false};
    if (windows && (IsBareServerName(t) || IsDrivePath(t))) return {true, std::string(t), false};

    if (place.fs->Kind(Resolved(place, t)) == EntryKind::Missing) {
        const bool drivePath = windows && t.size() >= 2 && t[1] == ':';
        const bool ask = !windows || t.size() == 1 || !drivePath || IsValidDrive(*place.fs, t[0]);
        if (ask && !OfferToCreate(place, t, true)) return {};
    }
    return {true, std::string(t), true};
}

std::optional<std::string> AfterDelete(std::string_view text, const FolderPlace& place) {
    const bool windows = IsWindows(place);
    if (windows && text == "\\\\") return std::nullopt;
    if (text.size() == 1 && text[0] == StyleSeparator(place.style)) return std::string(text);
    if (windows && IsDriveRoot(text)) {
        if (IsValidDrive(*place.fs, text[0])) return std::string(text);
        return std::nullopt;
    }
    if (EndsWithSeparator(place.style, text) && place.fs->Kind(Resolved(place, text)) == EntryKind::Directory)
        return std::string(text);
    return std::nullopt;
}

TypedDecision AfterTyped(std::string_view text, std::size_t caret, char typed, const FolderPlace& place) {
    const bool windows = IsWindows(place);
    TypedDecision decision;
    if (windows && text == "\\\\") return decision;
    if (text.size() == 1 && text[0] == StyleSeparator(place.style)) {
        decision.navigate = std::string(text);
        return decision;
    }
    if (windows && IsDriveRoot(text)) {
        if (IsValidDrive(*place.fs, text[0])) decision.navigate = std::string(text);
        return decision;
    }
    if (EndsWithSeparator(place.style, text)) {
        if (place.fs->Kind(Resolved(place, text)) == EntryKind::Directory) decision.navigate = std::string(text);
        return decision;
    }
    if (caret != text.size() || typed == kBackspace) return decision;
    if (auto completed = CompleteFolderName(text, place)) {
        decision.completedText = *completed;
        decision.selectionStart = caret;
        decision.selectionEnd = completed->size();
    }
    return decision;
}

std::optional<std::string> CompleteFolderName(std::string_view text, const FolderPlace& place) {
    const bool windows = IsWindows(place);
    // The typed part of the last name: after the last separator (Windows: or
    // "/" or the drive's colon).
    std::size_t cut = text.rfind(StyleSeparator(place.style));
    if (windows && cut == std::string_view::npos) cut = text.rfind('/');
    if (windows && cut == std::string_view::npos) cut = text.rfind(':');
    const std::size_t h = cut == std::string_view::npos ? text.size() : text.size() - cut - 1;
    const std::string_view folderText = text.substr(0, text.size() - h);
    const std::string prefix(text.substr(text.size() - h));

    const std::string folder = Resolved(place, folderText);
    int directories = 0;
    std::string name;
    for (const FolderEntry& entry : place.fs->Entries(folder, prefix)) {
        if (!entry.isDirectory || entry.name.size() < h) continue;
        const std::string_view head = std::string_view(entry.name).substr(0, h);
        if (windows ? !EqualNoCase(head, prefix) : head != prefix) continue;
        ++directories;
        name = entry.name;
    }
    if (directories != 1) return std::nullopt;

    if (windows) {
        const bool hasSpaceOrLower =
            std::any_of(name.begin(), name.end(), [](char c) { return c == ' ' || IsLower(c); });
        if (!hasSpaceOrLower) std::transform(name.begin() + 1, name.end(), name.begin() + 1, ToLower);
        const char last = text.empty() ? '\0' : text.back();
        if (!text.empty() && h > 0 && last != name[h - 1])
            std::transform(name.begin(), name.end(), name.begin(), IsUpper(last) ? ToUpper : ToLower);
    }
    return std::string(text) + name.substr(h);
}

}  // namespace zul
