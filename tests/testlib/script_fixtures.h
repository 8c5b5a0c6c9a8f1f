#pragma once
// Helpers for tests that need script files: the encoded form written to disk,
// and the text of a whole script from its parts.
#include <string>
#include <vector>

#include "testlib/temp_dir.h"

namespace zul::test {

// Writes `text` encoded (every byte complemented) to dir/name; returns the path.
std::string WriteEncodedScript(const TempDir& dir, const std::string& name, const std::string& text);

// The decoded text of a script with these values and statements stmt1..stmtN
// (numberOfStatements = statements.size()).
std::string ScriptText(const std::string& name, const std::string& version,
                       const std::vector<std::string>& statements);

// Writes the encoded script of ScriptText(name, version, statements) to `path`.
void WriteScript(const std::string& path, const std::string& name, const std::string& version,
                 const std::vector<std::string>& statements);

}  // namespace zul::test
