#pragma once
// What the commands that talk to a tester share: the options that choose the
// port and trace the bytes, and the terminal's picture of the download flow.
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "host/messages.h"
#include "cli/command.h"
#include "sim/played_tester.h"
#include "ui/download/download_flow_view.h"
#include "ui/front_end.h"

namespace zul::cli {

// The port itself comes from the global --port and --device options.
struct TesterLinkOptions {
    std::string traceFile;    // --trace: hexdump of every byte to this file
    std::string simulate;     // --simulate[=FAULTS]: a simulated tester instead of the port
    std::uint64_t seed = 1;   // --seed: of the simulated tester's random faults
    CLI::Option* simulateOption = nullptr;
    CLI::Option* seedOption = nullptr;

    void AddTo(CLI::App& command);
    // After context.Start(): starts the trace and returns the COM number to
    // open. False (with a message on standard error) when the trace file
    // cannot be written.
    bool Apply(int* portNumber);
    // With --simulate: one line per transfer the simulated tester received,
    // with a CRC-32 of the bytes it holds there now, so a package can be
    // checked against its image files.
    void ReportSimulation(std::ostream& out);
    // Ends the trace: false (with a message on standard error) when the trace
    // file could not take all of it (a full disk, say).
    bool FinishTrace();
    ~TesterLinkOptions();

private:
    std::unique_ptr<std::ofstream> trace_;
    std::unique_ptr<sim::PlayedTester> played_;
    // The simulated tester in place of the port, and the trace, each on top
    // of the front end installed before it.
    std::optional<FrontEndScope> simulation_;
    std::optional<FrontEndScope> tracing_;
};

// Status lines and progress on a terminal: a live line that rewrites itself
// when standard output is a terminal, plain lines otherwise.
class TerminalFlowView final : public DownloadFlowView, private DownloadProgress, private MessageSink {
public:
    // Messages go through the view while it lives, so that a message never
    // lands on the end of the live line.
    TerminalFlowView();
    ~TerminalFlowView() override;
    TerminalFlowView(const TerminalFlowView&) = delete;
    TerminalFlowView& operator=(const TerminalFlowView&) = delete;
    void ShowStatusWindow(std::string_view text) override;
    void CloseStatusWindow() override {}
    DownloadProgress& OpenProgress(std::string_view caption) override;
    void CloseProgress() override;
    void SetDialogEnabled(bool) override {}

private:
    void SetStatusText(std::string_view text) override;
    void SetCurrentPercent(int percent) override;
    void SetTotalPercent(int percent) override;
    void SetBlocksToSend(std::uint64_t blocks) override;
    int Show(std::string_view text, std::string_view caption, unsigned type) override;
    void Render(bool force);
    void EndLiveLine();

    bool live_;
    MessageSink* previousSink_;
    FrontEndScope seams_;
    bool showNumbers_ = false;  // numbers belong to the status shown
    bool lineOpen_ = false;
    std::string status_;
    int current_ = -1;
    int total_ = -1;
    std::uint32_t started_ = 0;
    std::uint32_t lastRender_ = 0;
    std::uint64_t bytesAtStatusStart_ = 0;
    // What the application still had to send when its statement began, and
    // the payload counter at that moment.
    std::uint64_t blocksToSend_ = 0;
    std::uint64_t bytesAtBlocksToSend_ = 0;
    bool knowsBlocksToSend_ = false;
    std::string lastPlain_;
};

}  // namespace zul::cli
