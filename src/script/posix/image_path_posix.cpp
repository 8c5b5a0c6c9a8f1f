#include "script/statement_parser.h"

namespace zul {

std::string ResolveImagePath(const std::string& imageDir, std::string_view parameter) {
    return ResolveImagePathPosix(imageDir, parameter);
}

}  // namespace zul
