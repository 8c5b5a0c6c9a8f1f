// The process-wide main window title. The download engine sets it during
// transfers; a front end with a real window installs its own.
#include <string>

#include "ui/download/download_progress.h"

namespace zul {
namespace {

class MemoryTitle final : public MainWindowTitle {
public:
    std::string GetTitle() override { return title_; }
    void SetTitle(std::string_view title) override { title_ = title; }

private:
    std::string title_;
};

MemoryTitle g_memoryTitle;
MainWindowTitle* g_title = nullptr;

}  // namespace

void SetMainWindowTitle(MainWindowTitle* title) { g_title = title; }
MainWindowTitle* InstalledMainWindowTitle() { return g_title; }
MainWindowTitle& CurrentMainWindowTitle() { return g_title ? *g_title : g_memoryTitle; }

}  // namespace zul
