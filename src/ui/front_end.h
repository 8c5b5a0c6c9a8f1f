#pragma once
// What a front end plugs into the core, as one object: the seams of the lower
// layers plus the main window's title. A front end fills a FrontEnd and
// installs it with one FrontEndScope for as long as it runs; a test does the
// same for one test. The state the program keeps on behalf of the user (the
// settings file in use, the port selection, the download cancel flag) is not
// part of it: it lives where the layers below keep it.
#include "tester/tester_seams.h"
#include "ui/download/download_progress.h"

namespace zul {

// A null or empty member means the core's own default.
struct FrontEnd : TesterSeams {
    MainWindowTitle* mainWindowTitle = nullptr;  // a title kept in memory only
};

// What is installed now.
FrontEnd InstalledFrontEnd();

// Installs `frontEnd` for its lifetime and then puts back exactly what was
// installed before (scopes nest; a failed test still restores).
class FrontEndScope {
public:
    explicit FrontEndScope(const FrontEnd& frontEnd);
    ~FrontEndScope();
    FrontEndScope(const FrontEndScope&) = delete;
    FrontEndScope& operator=(const FrontEndScope&) = delete;

private:
    TesterSeamsScope seams_;
    MainWindowTitle* previousTitle_;
};

}  // namespace zul
