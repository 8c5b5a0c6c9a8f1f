#pragma once
// What the download engine tells whoever watches a statement run, and the one
// thing it asks back. The engine knows nothing of windows: the layer above
// turns these calls into its progress display and main window title.
#include <string_view>

namespace zul {

class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void ShowStatus(std::string_view text) = 0;
    // Percentages of the current file and of the whole application.
    virtual void ShowCurrentPercent(int percent) = 0;
    virtual void ShowTotalPercent(int percent) = 0;
    // The main window title the engine wants now. It asks for the same title
    // again before every block; an observer changes the title only when it
    // differs from the one shown.
    virtual void ShowTitle(std::string_view title) = 0;
    // Polled when the statement starts, before the transfer command and
    // before every block: true stops the statement with DownloadResult::Aborted.
    virtual bool CancelRequested() = 0;
};

}  // namespace zul
