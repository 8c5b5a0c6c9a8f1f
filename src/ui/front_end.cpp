#include "ui/front_end.h"

namespace zul {

FrontEnd InstalledFrontEnd() {
    FrontEnd frontEnd;
    static_cast<TesterSeams&>(frontEnd) = InstalledTesterSeams();
    frontEnd.mainWindowTitle = InstalledMainWindowTitle();
    return frontEnd;
}

FrontEndScope::FrontEndScope(const FrontEnd& frontEnd)
    : seams_(frontEnd), previousTitle_(InstalledMainWindowTitle()) {
    SetMainWindowTitle(frontEnd.mainWindowTitle);
}

FrontEndScope::~FrontEndScope() { SetMainWindowTitle(previousTitle_); }

}  // namespace zul
