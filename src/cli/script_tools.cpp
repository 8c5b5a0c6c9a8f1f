#include "cli/script_tools.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "script/profile_document.h"
#include "support/file_system.h"

namespace zul::cli {

int TranscodeScript(const std::string& input, const std::string& output) {
    // Scripts are regular files of bounded size: a pipe or a device must not
    // block the command or fill memory.
    std::string bytes;
    switch (RealFileSystem().ReadRegularFile(input, &bytes, kMaxScriptFileSize)) {
        case FileReadStatus::kOk: break;
        case FileReadStatus::kTooLarge:
            std::cerr << "cannot read " << input << ": it is larger than any script (at most " << kMaxScriptFileSize
                      << " bytes)\n";
            return 1;
        default:
            std::cerr << "cannot read " << input << ": it " << RegularFileProblem(input) << "\n";
            return 1;
    }
    const std::string result = ComplementBytes(bytes);
    const bool toStdout = output.empty() || output == "-";
    std::FILE* out = toStdout ? stdout : std::fopen(output.c_str(), "wb");
    if (!out) {
        std::cerr << "cannot write " << output << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    errno = 0;
    bool ok = std::fwrite(result.data(), 1, result.size(), out) == result.size();
    ok = std::fflush(out) == 0 && ok;
    int error = errno;
    if (!toStdout) {
        if (std::fclose(out) != 0 && ok) {
            ok = false;
            error = errno;
        }
    }
    if (!ok) {
        std::cerr << "cannot write " << (toStdout ? std::string("standard output") : output) << ": "
                  << (error ? std::strerror(error) : "write failed") << "\n";
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
