#pragma once
// Reader for the encoded, INI-shaped script files. Every byte on disk is the
// complement of the text byte, so the platform's profile calls cannot read
// them. The reader is read-only: ZUL never writes a script.
//
// Parsing works on bytes in memory (LoadEncoded); LoadFile is a thin step
// that reads the file and hands its bytes over.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zul {

// Byte i of an encoded file is 255 - byte i of the text. The same operation
// encodes and decodes.
std::string ComplementBytes(std::string_view bytes);

// One section: keys in order of first appearance, values parallel to them.
struct ProfileSection {
    std::vector<std::string> keys;
    std::vector<std::string> values;
    // Lower-case key -> position. A script with hundreds of statements would
    // otherwise cost a quadratic number of key comparisons on every reading,
    // and every statement parse reads the script again.
    std::unordered_map<std::string, std::size_t> index;
};

// The decoded text of one file, exactly as long as the file.
struct EncodedFileBuffer {
    std::string path;
    int openMode = 0;  // read only, the one mode used
    std::string buffer;
    std::size_t position = 0;
    std::size_t length() const { return buffer.size(); }
};

class ProfileDocument {
public:
    // A line holds at most this many bytes, CR and LF included.
    static constexpr std::size_t kLineCapacity = 1024;

    ProfileDocument() = default;
    ~ProfileDocument() { CloseDocument(); }
    ProfileDocument(const ProfileDocument&) = delete;
    ProfileDocument& operator=(const ProfileDocument&) = delete;

    // Reads, decodes and parses the file. False (the document left empty) for
    // a null path, a file that cannot be read, an empty file, or a file whose
    // length changes while it is read.
    bool LoadFile(const char* path);
    bool LoadFile(const std::string& path) { return LoadFile(path.c_str()); }
    // The same from encoded bytes in memory; false for no bytes.
    bool LoadEncoded(std::string_view encoded, const std::string& path = std::string());

    // Result set to "" first, then to the value when the key exists.
    bool GetString(std::string_view section, std::string_view key, std::string* result) const;
    // Result set to 0 first, then to atoi of the value when the key exists.
    bool GetInt(std::string_view section, std::string_view key, int* result) const;

    // Discards every section and the buffer; the document is empty again.
    void CloseDocument();

    // Read access for tools and tests.
    const std::vector<std::string>& sectionNames() const { return sectionNames_; }
    const std::vector<ProfileSection>& sections() const { return sections_; }
    const EncodedFileBuffer& file() const { return file_; }

    // Index of the section or key, matched without regard to letter case; -1 when absent.
    int FindSection(std::string_view name) const;
    static int FindKey(const ProfileSection& section, std::string_view key);

private:
    void Parse();
    bool ReadLine(std::string* line);
    bool AddEntry(const std::string& section, const std::string& key, const std::string& value, bool create);

    EncodedFileBuffer file_;
    std::size_t readPosition_ = 0;
    std::vector<std::string> sectionNames_;
    std::vector<ProfileSection> sections_;
};

// No script is larger. A script names at most 999 statements and every line
// it has holds at most 1023 bytes, so even a script of 999 statements that
// each fill a whole line stays near 1 MB; four times that leaves room for
// comments and keys of other tools, while a file beyond it is not a script
// (reading it whole, and its decoded copy, would only cost memory and time).
inline constexpr unsigned long long kMaxScriptFileSize = 4ull << 20;

// Reads a whole file for the loader: the length is probed first, then the
// file is read in 4096-byte chunks. False when it cannot be opened, is empty,
// is not a regular file, is larger than kMaxScriptFileSize, or its length
// differs from the probe.
bool ReadScriptFileBytes(const std::string& path, std::string* bytes);

// Why ReadScriptFileBytes refuses `path`, as a phrase for messages ("is a
// directory", "is empty", "is 5000000 bytes long, larger than any script
// (at most 4194304)"); "" when the file can be read.
std::string ScriptFileProblem(const std::string& path);

// Why a file cannot be opened for reading as a regular file: "does not
// exist", "is a directory", "is not a regular file", "cannot be opened";
// "" when it can.
std::string RegularFileProblem(const std::string& path);

// Runs between the length probe and the read of ReadScriptFileBytes, so that
// tests can change the file in that moment. Returns the previous hook.
using ScriptReadHook = std::function<void(const std::string& path)>;
ScriptReadHook SetScriptReadHook(ScriptReadHook hook);

// Length of a file opened for reading; false when it cannot be opened or is
// not a regular file (a directory, a pipe, a device).
bool ProbeFileLength(const std::string& path, unsigned long long* length);

}  // namespace zul
