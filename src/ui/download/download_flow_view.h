#pragma once
// The windows of the download flow, as the flow controller drives them: the
// status window while the tester is queried, the progress display during a
// download, and the dialog's own enabled state. The GUI puts windows behind
// it; the command line prints.
#include <string_view>

#include "ui/download/download_progress.h"

namespace zul {

class DownloadFlowView {
public:
    virtual ~DownloadFlowView() = default;
    // A small window with one line of text, shown at once. Closing it twice
    // is harmless.
    virtual void ShowStatusWindow(std::string_view text) = 0;
    virtual void CloseStatusWindow() = 0;
    // The progress display with its Cancel (which sets DownloadCancelFlag).
    virtual DownloadProgress& OpenProgress(std::string_view caption) = 0;
    virtual void CloseProgress() = 0;
    // The dialog is disabled while a download runs.
    virtual void SetDialogEnabled(bool enabled) = 0;
};

}  // namespace zul
