#pragma once
// What a download shows while it runs, as interfaces that each front end
// implements: the GUI with its progress dialog and main window, the command
// line with a live status line, tests with recorders. No toolkit here.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace zul {

// The progress display of a running download: a status line and two bars.
class DownloadProgress {
public:
    virtual ~DownloadProgress() = default;
    virtual void SetStatusText(std::string_view text) = 0;
    // Percentages of the current file and of the whole application; values
    // outside 0..100 are shown clamped.
    virtual void SetCurrentPercent(int percent) = 0;
    virtual void SetTotalPercent(int percent) = 0;
    // The blocks the application still has to send, told before each of its
    // load statements. Unlike the total bar, which also counts statements
    // that only erase, it reaches 0 when the last block has gone, so a
    // display may estimate the time left from it.
    virtual void SetBlocksToSend(std::uint64_t blocks) { (void)blocks; }
};

// The main window's title.
class MainWindowTitle {
public:
    virtual ~MainWindowTitle() = default;
    virtual std::string GetTitle() = 0;
    virtual void SetTitle(std::string_view title) = 0;
};

// Installs `title` (nullptr: a title kept in memory only, for front ends
// without a main window).
void SetMainWindowTitle(MainWindowTitle* title);
// The title installed, nullptr for the default.
MainWindowTitle* InstalledMainWindowTitle();
MainWindowTitle& CurrentMainWindowTitle();

// Set to 1 by the progress display's Cancel (or Ctrl-C on the command line);
// cleared once when a download starts. The engine polls it once per block and
// when a statement starts, the flow between statements and at the end.
// Lock-free, so a signal handler may set it.
inline std::atomic<int> DownloadCancelFlag{0};

}  // namespace zul
