#include "testlib/script_fixtures.h"

#include <fstream>

#include "script/profile_document.h"

namespace zul::test {

std::string WriteEncodedScript(const TempDir& dir, const std::string& name, const std::string& text) {
    dir.Write(name, ComplementBytes(text));
    return dir / name;
}

std::string ScriptText(const std::string& name, const std::string& version,
                       const std::vector<std::string>& statements) {
    std::string text = "[application]\nname=" + name + "\nversion=" + version +
                       "\n[script]\nstartLine=start\nclosingLine=end\nnumberOfStatements=" +
                       std::to_string(statements.size()) + "\n";
    for (std::size_t i = 0; i < statements.size(); ++i)
        text += "stmt" + std::to_string(i + 1) + "=" + statements[i] + "\n";
    return text;
}

void WriteScript(const std::string& path, const std::string& name, const std::string& version,
                 const std::vector<std::string>& statements) {
    std::ofstream(path, std::ios::binary) << ComplementBytes(ScriptText(name, version, statements));
}

}  // namespace zul::test
