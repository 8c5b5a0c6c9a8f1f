#pragma once
// The download engine's observer shown on the windows' interfaces: the
// progress display, the main window title and the process-wide cancel flag.
#include <string_view>

#include "tester/download_observer.h"
#include "ui/download/download_progress.h"

namespace zul {

class ProgressObserver final : public DownloadObserver {
public:
    ProgressObserver(DownloadProgress& progress, MainWindowTitle& title) : progress_(progress), title_(title) {}

    void ShowStatus(std::string_view text) override { progress_.SetStatusText(text); }
    void ShowCurrentPercent(int percent) override { progress_.SetCurrentPercent(percent); }
    void ShowTotalPercent(int percent) override { progress_.SetTotalPercent(percent); }
    void ShowTitle(std::string_view title) override {
        if (title_.GetTitle() != title) title_.SetTitle(title);
    }
    bool CancelRequested() override { return DownloadCancelFlag.load() == 1; }

private:
    DownloadProgress& progress_;
    MainWindowTitle& title_;
};

}  // namespace zul
