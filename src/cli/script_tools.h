#pragma once
// What the script commands (decode, encode, list, check) share.
#include <memory>
#include <string>

#include "cli/command.h"
#include "script/application_catalogue.h"

namespace zul::cli {

// Complements every byte of `input` into `output` ("" or "-": standard
// output). Complementing is its own inverse, so it both decodes and encodes.
// Returns the exit status; errors are written to standard error.
int TranscodeScript(const std::string& input, const std::string& output);

// The directories and extension the download dialog would use: the settings,
// with --dir standing for both directories and --ext for the extension.
struct CatalogueOptions {
    std::string dir;
    std::string ext;
    void AddTo(CLI::App* cmd);
    std::unique_ptr<ApplicationCatalogue> Build(const Context& context) const;
};

}  // namespace zul::cli
