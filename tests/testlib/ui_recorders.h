#pragma once
// Recorders for what a download shows through the windows' interfaces: the
// progress display and the main window title.
#include <cstdint>
#include <string>
#include <vector>

#include "testlib/recorded_events.h"
#include "ui/download/download_progress.h"

namespace zul::test {

class RecordingProgress final : public DownloadProgress {
public:
    void SetStatusText(std::string_view text) override { events.push_back("status:" + std::string(text)); }
    void SetCurrentPercent(int percent) override {
        current.push_back(percent);
        events.push_back("current:" + std::to_string(percent));
    }
    void SetTotalPercent(int percent) override {
        total.push_back(percent);
        events.push_back("total:" + std::to_string(percent));
    }
    void SetBlocksToSend(std::uint64_t blocks) override { blocksToSend.push_back(blocks); }
    std::vector<std::string> Statuses() const { return StatusesIn(events); }
    std::vector<std::string> events;
    std::vector<int> current;
    std::vector<int> total;
    std::vector<std::uint64_t> blocksToSend;
};

class RecordingTitle final : public MainWindowTitle {
public:
    std::string GetTitle() override { return title; }
    void SetTitle(std::string_view text) override {
        title = text;
        history.push_back(title);
    }
    std::string title = "ZUL";
    std::vector<std::string> history;
};

}  // namespace zul::test
