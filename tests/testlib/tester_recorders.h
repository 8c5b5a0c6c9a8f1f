#pragma once
// A recorder for what the download engine tells its observer, with the
// observer's one answer (cancel) in the test's hands.
#include <functional>
#include <string>
#include <vector>

#include "testlib/recorded_events.h"
#include "tester/download_engine.h"
#include "tester/download_observer.h"

namespace zul::test {

class RecordingObserver : public DownloadObserver {
public:
    void ShowStatus(std::string_view text) override { Record("status:" + std::string(text)); }
    void ShowCurrentPercent(int percent) override {
        current.push_back(percent);
        Record("current:" + std::to_string(percent));
    }
    void ShowTotalPercent(int percent) override {
        total.push_back(percent);
        Record("total:" + std::to_string(percent));
    }
    // As a window's title: changed only when the text differs.
    void ShowTitle(std::string_view text) override {
        if (title == text) return;
        title = text;
        history.push_back(title);
    }
    bool CancelRequested() override { return cancel; }

    std::vector<std::string> Statuses() const { return StatusesIn(events); }

    // Progress only (statuses and percentages; titles are in `history`).
    std::vector<std::string> events;
    std::vector<int> current;
    std::vector<int> total;
    std::string title = "ZUL";
    std::vector<std::string> history;
    // What CancelRequested answers; a test sets it as a click on Cancel would.
    bool cancel = false;
    // Called after every progress event is recorded (a test may cancel from it).
    std::function<void(const std::string& event)> onEvent;

private:
    void Record(std::string event) {
        events.push_back(std::move(event));
        if (onEvent) onEvent(events.back());
    }
};

}  // namespace zul::test
