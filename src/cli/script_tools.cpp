#include "cli/script_tools.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "script/profile_document.h"

namespace zul::cli {

int TranscodeScript(const std::string& input, const std::string& output) {
    std::ifstream in(input, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    if (!in || in.bad()) {
        std::cerr << "cannot read " << input << "\n";
        return 1;
    }
    const std::string result = ComplementBytes(bytes.str());
    if (output.empty() || output == "-") {
        std::cout.write(result.data(), static_cast<std::streamsize>(result.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(result.data(), static_cast<std::streamsize>(result.size()));
    out.close();
    if (!out) {
        std::cerr << "cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

void CatalogueOptions::AddTo(CLI::App* cmd) {
    cmd->add_option("--dir", dir, "Script and image directory (instead of QOBDir and ImgQOBDir)")
        ->option_text("DIR");
    cmd->add_option("--ext", ext, "Script file extension (instead of QOBFileType)")->option_text("EXT");
}

std::unique_ptr<ApplicationCatalogue> CatalogueOptions::Build(const Context& context) const {
    SettingsStore settings = context.Settings();
    const std::string scriptDir = dir.empty() ? settings.ReadScriptDir() : dir;
    const std::string imageDir = dir.empty() ? settings.ReadImageDir() : dir;
    const std::string extension = ext.empty() ? settings.ReadScriptExtension() : ext;
    return BuildCatalogue(scriptDir, imageDir, extension);
}

}  // namespace zul::cli
