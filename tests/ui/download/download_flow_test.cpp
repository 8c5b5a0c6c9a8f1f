#include "ui/download/download_flow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "host/messages.h"
#include "host/settings_store.h"
#include "host/startup.h"
#include "support/clock.h"
#include "ui/download/download_texts.h"
#include "ui/front_end.h"
#include "tester/link_setup.h"
#include "tester/monitor_bootstrap.h"
#include "testlib/program_state.h"
#include "testlib/recording_sink.h"
#include "testlib/temp_dir.h"
#include "testlib/tester_fake_monitor.h"
#include "testlib/ui_recorders.h"
#include "testlib/image_fixtures.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

using test::RecordingSink;

class RecordingView final : public DownloadFlowView {
public:
    void ShowStatusWindow(std::string_view text) override { events.push_back("status window:" + std::string(text)); }
    void CloseStatusWindow() override { events.push_back("close status window"); }
    DownloadProgress& OpenProgress(std::string_view caption) override {
        events.push_back("progress:" + std::string(caption));
        return progress;
    }
    void CloseProgress() override { events.push_back("close progress"); }
    void SetDialogEnabled(bool enabled) override { events.push_back(enabled ? "enable" : "disable"); }
    std::vector<std::string> events;
    test::RecordingProgress progress;
};

// Hands the flow a link to the one fake tester the test keeps, so that the
// tester's state and memory outlive each opening of the link.
// Every text and block written is also shown to `watch` (when set), so that
// a test can act at a chosen point of the conversation, as a user would.
class ForwardingLink final : public TesterLink {
public:
    using Watch = std::function<void(std::string_view written)>;
    ForwardingLink(std::unique_ptr<test::FakeMonitorLink>& target, Watch& watch) : t_(target), watch_(watch) {}
    int ReadByte(int timeoutMs) override { return t_->ReadByte(timeoutMs); }
    int WriteText(std::string_view text) override {
        if (watch_) watch_(text);
        return t_->WriteText(text);
    }
    int WriteBlock(const std::uint8_t* data, std::size_t count) override {
        const int written = t_->WriteBlock(data, count);
        if (watch_) watch_("<block>");
        return written;
    }
    int PendingOutput() override { return t_->PendingOutput(); }
    void PurgeReceive() override { t_->PurgeReceive(); }
    void PurgeTransmit() override { t_->PurgeTransmit(); }
    int SetLineSpeed(long baud) override { return t_->SetLineSpeed(baud); }
    long LineSpeed() const override { return t_->LineSpeed(); }

private:
    std::unique_ptr<test::FakeMonitorLink>& t_;
    Watch& watch_;
};

class DownloadFlowTest : public ::testing::Test {
protected:
    DownloadFlowTest() : tester_(std::make_unique<test::FakeMonitorLink>(clock_)), monitor_(test::ImageBytes(14336, 99)) {
        SetSettingsFilePath(dir_ / "zultw.ini");
        SettingsStore settings(SettingsFilePath());
        settings.WriteScriptDir(dir_.path().c_str());
        settings.WriteImageDir(dir_.path().c_str());
        auto selection = std::make_unique<PortSelection>();
        selection->portNumber = 3;
        SetCurrentPortSelection(std::move(selection));
    }
    ~DownloadFlowTest() override { CloseTesterLink(); }
    FrontEnd TestFrontEnd() {
        FrontEnd frontEnd;
        frontEnd.clock = &clock_;
        frontEnd.messageSink = &sink_;
        frontEnd.mainWindowTitle = &title_;
        frontEnd.monitorImageOverride = MonitorImageRef{0x60000, monitor_};
        frontEnd.linkOpener = [this](int port, std::unique_ptr<TesterLink>* link) {
            ports_.push_back(port);
            if (openResult_ != LinkOpenResult::Ok) return openResult_;
            *link = std::make_unique<ForwardingLink>(tester_, watch_);
            return LinkOpenResult::Ok;
        };
        return frontEnd;
    }
    std::vector<std::uint8_t> Image(const std::string& name, std::size_t size, unsigned seed) {
        auto bytes = test::ImageBytes(size, seed);
        test::WriteImage(dir_ / name, bytes);
        return bytes;
    }
    bool Holds(const std::string& kind, std::uint32_t at, const std::vector<std::uint8_t>& bytes) {
        const auto& mem = tester_->Memory(kind);
        return mem.size() >= at + bytes.size() &&
               std::equal(bytes.begin(), bytes.end(), mem.begin() + static_cast<std::ptrdiff_t>(at));
    }
    // Opens the flow, fills the list and selects the rows named.
    void Prepare(DownloadFlow& flow, const std::vector<std::string>& names) {
        ASSERT_TRUE(flow.Open());
        flow.FillList();
        for (const auto& name : names)
            for (std::size_t i = 0; i < flow.rows().size(); ++i)
                if (flow.rows()[i].name == name) flow.SetSelected(i, true);
        sink_.shown.clear();
        title_.history.clear();
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& s : sink_.shown) out.push_back(s.text);
        return out;
    }

    test::ScopedProgramState state_;
    VirtualClock clock_{7};
    test::TempDir dir_;
    std::unique_ptr<test::FakeMonitorLink> tester_;
    std::vector<std::uint8_t> monitor_;
    RecordingSink sink_;
    RecordingView view_;
    test::RecordingTitle title_;
    std::vector<int> ports_;
    LinkOpenResult openResult_ = LinkOpenResult::Ok;
    ForwardingLink::Watch watch_;
    FrontEndScope frontEnd_{TestFrontEnd()};
};

TEST_F(DownloadFlowTest, OpeningQueriesTheTester) {
    struct Row {
        const char* name;
        std::string id;
        bool silent;
        LinkOpenResult openResult;
        bool ready;
        const char* text;  // nullptr: no message
        const char* caption;
    };
    const Row rows[] = {
        {"ZIZ2", "ZIZ2", false, LinkOpenResult::Ok, true, nullptr, nullptr},
        {"other tester", "ZIZ1", false, LinkOpenResult::Ok, false,
         "Unsuccessful communication with the Engine Analyzer.\n\nCheck cable and adapter connections, then restart ZUL "
         "and tester.",
         "Error"},
        {"silent tester", "ZIZ2", true, LinkOpenResult::Ok, false,
         "Unsuccessful communication with the Engine Analyzer.\n\nCheck cable and adapter connections, then restart ZUL "
         "and tester.",
         "Error"},
        {"port missing", "ZIZ2", false, LinkOpenResult::OpenFailed, false, "Incorrect or disconnected serial port",
         "Communications Error"},
        {"port refuses settings", "ZIZ2", false, LinkOpenResult::SettingsRefused, false, "Could not open COM port",
         "Communications Error"},
    };
    for (const auto& row : rows) {
        tester_->hardwareId = row.id;
        tester_->silent = row.silent;
        openResult_ = row.openResult;
        sink_.shown.clear();
        view_.events.clear();
        DownloadFlow flow(view_);
        EXPECT_EQ(flow.Open(), row.ready) << row.name;
        EXPECT_EQ(flow.closingMessage(), kDefaultClosingMessage);
        EXPECT_EQ(ActiveTesterLink(), nullptr) << row.name;
        EXPECT_EQ(ports_.back(), 3);
        ASSERT_FALSE(view_.events.empty());
        EXPECT_EQ(view_.events.front(), std::string("status window:") + kDeterminingConfiguration);
        EXPECT_EQ(view_.events.back(), "close status window");
        if (row.text == nullptr) {
            EXPECT_TRUE(sink_.shown.empty()) << row.name;
            continue;
        }
        ASSERT_EQ(sink_.shown.size(), 1u) << row.name;
        EXPECT_EQ(sink_.shown[0].text, row.text) << row.name;
        EXPECT_EQ(sink_.shown[0].caption, row.caption) << row.name;
        EXPECT_EQ(sink_.shown[0].type, kMbOk | kMbIconWarning) << row.name;
    }
}

TEST_F(DownloadFlowTest, ListShowsApplicationsWithStatementsSortedByName) {
    Image("a.bin", 256, 1);
    test::WriteScript(dir_ / "zeta.qob", "Zeta Tools", "2.1", {"a.bin -RAM"});
    test::WriteScript(dir_ / "alpha.qob", "alpha engine", "1.0", {"!Hello", "a.bin -RAM"});
    test::WriteScript(dir_ / "empty.qob", "Nothing", "0.0", {});
    test::WriteScript(dir_ / "other.txt", "Not a script", "1", {"a.bin -RAM"});
    DownloadFlow flow(view_);
    flow.FillList();
    ASSERT_EQ(flow.rows().size(), 2u);
    EXPECT_EQ(flow.rows()[0].name, "alpha engine");
    EXPECT_EQ(flow.rows()[0].version, "1.0");
    EXPECT_EQ(flow.rows()[1].name, "Zeta Tools");
    EXPECT_FALSE(flow.DownloadEnabled());
    flow.SetSelected(1, true);
    EXPECT_TRUE(flow.DownloadEnabled());
    flow.FillList();
    EXPECT_FALSE(flow.DownloadEnabled());
}

TEST_F(DownloadFlowTest, EmptyDirectoryGivesEmptyList) {
    DownloadFlow flow(view_);
    flow.FillList();
    EXPECT_TRUE(flow.rows().empty());
    EXPECT_FALSE(flow.DownloadEnabled());
    EXPECT_TRUE(sink_.shown.empty());
}

TEST_F(DownloadFlowTest, SuccessfulDownloadReportsAndResets) {
    const auto ram = Image("ram.bin", 4096, 2);
    const auto flash = Image("flash.bin", 8192, 3);
    test::WriteScript(dir_ / "app.qob", "Demo", "1.0",
                      {"!Note: keep the tester powered", "ram.bin 20000 -RAM", "flash.bin 100000 -FLASH"});
    DownloadFlow flow(view_);
    Prepare(flow, {"Demo"});
    EXPECT_EQ(flow.Download(), DownloadOutcome::kCompleted);

    EXPECT_TRUE(Holds("RAM", 0x20000, ram));
    EXPECT_TRUE(Holds("FLASH", 0x100000, flash));
    ASSERT_EQ(sink_.shown.size(), 3u);
    EXPECT_EQ(sink_.shown[0].caption, "Confirm Download");
    EXPECT_EQ(sink_.shown[0].type, kMbOkCancel | kMbIconWarning);
    EXPECT_EQ(sink_.shown[1].text, "!Note: keep the tester powered");
    EXPECT_EQ(sink_.shown[1].caption, "Message");
    EXPECT_EQ(sink_.shown[2].caption, "Download Status");
    EXPECT_EQ(sink_.shown[2].type, kMbOk | kMbIconInformation);
    EXPECT_EQ(sink_.shown[2].text.rfind("Download complete in ", 0), 0u);
    EXPECT_EQ(sink_.shown[2].text.back(), '\n');

    const auto disabled = std::find(view_.events.begin(), view_.events.end(), "disable");
    ASSERT_NE(disabled, view_.events.end());
    EXPECT_EQ(*(disabled + 1), std::string("progress:") + kProgressCaption);
    EXPECT_EQ(view_.events[view_.events.size() - 2], "close progress");
    EXPECT_EQ(view_.events.back(), "enable");
    const auto statuses = view_.progress.Statuses();
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses[0], kEstablishingStatus);
    EXPECT_EQ(statuses[1], kPreparingStatus);
    EXPECT_EQ(view_.progress.total.back(), 98);  // 95 of 96 blocks sent before the last
    ASSERT_GE(title_.history.size(), 2u);
    EXPECT_EQ(title_.history[title_.history.size() - 2], "Download Complete");
    EXPECT_EQ(title_.history.back(), "ZUL for KVR 7700");
    EXPECT_FALSE(flow.DownloadEnabled());
    EXPECT_EQ(ActiveTesterLink(), nullptr);
}

TEST_F(DownloadFlowTest, DeclinedConfirmationTouchesNothing) {
    Image("ram.bin", 256, 4);
    test::WriteScript(dir_ / "app.qob", "Demo", "1.0", {"ram.bin -RAM"});
    DownloadFlow flow(view_);
    Prepare(flow, {"Demo"});
    const std::size_t opened = ports_.size();
    sink_.unanswered = kIdCancel;
    view_.events.clear();
    EXPECT_EQ(flow.Download(), DownloadOutcome::kDeclined);
    EXPECT_EQ(ports_.size(), opened);
    EXPECT_TRUE(view_.events.empty());
    EXPECT_TRUE(flow.DownloadEnabled());
}

TEST_F(DownloadFlowTest, LongDownloadReportsMinutesAndTheClosingMessage) {
    Image("flash.bin", 1024, 5);
    test::WriteScript(dir_ / "app.qob", "Slow", "1.0", {"flash.bin 100000 -FLASH"});
    SettingsStore(SettingsFilePath()).WriteValue("Dir Setup", "QOBClosingMsg", "Power off now.");
    tester_->eraseMs = 70000;
    DownloadFlow flow(view_);
    Prepare(flow, {"Slow"});
    EXPECT_EQ(flow.Download(), DownloadOutcome::kCompleted);
    const std::string report = sink_.shown.back().text;
    EXPECT_EQ(report.rfind("Download complete in 1  minute(s) ", 0), 0u) << report;
    EXPECT_NE(report.find(" seconds\n\nPower off now."), std::string::npos) << report;
}

TEST_F(DownloadFlowTest, FailuresStopTheWholeDownload) {
    struct Row {
        const char* name;
        std::vector<std::string> statements;
        std::function<void(test::FakeMonitorLink&)> fault;
        const char* text;
        const char* caption;
    };
    Image("good.bin", 1024, 6);
    Image("empty.bin", 0, 7);
    const Row rows[] = {
        {"bad device", {"good.bin -SDRAM"}, nullptr, "No device specified to download to", "Error"},
        {"empty image", {"empty.bin -RAM"}, nullptr, "The size of the image file is zero", "Error"},
        {"bad short option", {"good.bin -RAM -z"}, nullptr, "No options were specified in the script file", "Error"},
        {"missing image", {"absent.bin -RAM"}, nullptr, "Could not open file", "Error"},
        {"unreadable statement", {"-RAM"}, nullptr, "Error with setup", "Error"},
        {"tester stops answering", {"good.bin -RAM"}, [](auto& t) { t.silent = true; },
         "Can't communicate with the tester", "Error"},
        {"block refused", {"good.bin -RAM"}, [](auto& t) { t.starAtBlock = 2; }, "Software not updated", "Error"},
        {"speed refused", {"good.bin -RAM"}, [](auto& t) { t.ignoreBaudCommand = true; },
         "Baudrate could not be supported", "Error"},
        {"monitor refused", {"good.bin -FLASH"}, [](auto& t) { t.starAtBlock = 0; }, "Monitor could not be downloaded",
         "Error"},
        {"short image", {"good.bin 0 800 -RAM"}, nullptr, "Unable to open image file.", "Message"},
        // With an explicit size the parser does not open the image; a pipe
        // would hold the download for ever.
        {"image is a pipe", {"pipe.bin 0 80 -RAM"}, nullptr, "Unable to open image file.", "Message"},
        {"image is a directory", {"folder.bin 0 80 -RAM"}, nullptr, "Unable to open image file.", "Message"},
    };
    ASSERT_EQ(::mkfifo((dir_ / "pipe.bin").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir_ / "folder.bin").c_str(), 0700), 0);
    for (const auto& row : rows) {
        auto statements = row.statements;
        statements.push_back("good.bin 70000 -RAM");  // never reached
        test::WriteScript(dir_ / "app.qob", "Demo", "1.0", statements);
        DownloadFlow flow(view_);
        tester_ = std::make_unique<test::FakeMonitorLink>(clock_);
        Prepare(flow, {"Demo"});
        if (row.fault) row.fault(*tester_);
        EXPECT_EQ(flow.Download(), DownloadOutcome::kFailed) << row.name;
        ASSERT_EQ(sink_.shown.size(), 2u) << row.name;
        EXPECT_EQ(sink_.shown[1].text, row.text) << row.name;
        EXPECT_EQ(sink_.shown[1].caption, row.caption) << row.name;
        EXPECT_EQ(sink_.shown[1].type, kMbOk | kMbIconWarning) << row.name;
        for (const auto& c : tester_->commands) EXPECT_NE(c.rfind("LB 70000", 0), 0u) << row.name;
        EXPECT_EQ(ActiveTesterLink(), nullptr) << row.name;
        EXPECT_TRUE(flow.DownloadEnabled()) << row.name;
        EXPECT_EQ(title_.history.back(), "ZUL for KVR 7700") << row.name;
    }
}

TEST_F(DownloadFlowTest, AnApplicationWithMoreStatementsThanCanBeNamedIsRefusedBeforeAnythingIsSent) {
    Image("good.bin", 256, 9);
    for (int count : {999, 1000}) {
        SCOPED_TRACE(count);
        std::vector<std::string> statements(static_cast<std::size_t>(count), "!m");
        statements[0] = "good.bin 70000 -RAM";
        test::WriteScript(dir_ / "app.qob", "Many", "1.0", statements);
        tester_ = std::make_unique<test::FakeMonitorLink>(clock_);
        DownloadFlow flow(view_);
        Prepare(flow, {"Many"});
        const std::size_t opened = ports_.size();
        const std::size_t sent = tester_->commands.size();  // the tester query's
        sink_.unanswered = kIdCancel;  // the question is as far as a download that may run goes here
        if (count == 999) {
            EXPECT_EQ(flow.Download(), DownloadOutcome::kDeclined);
            ASSERT_EQ(sink_.shown.size(), 1u);
            EXPECT_EQ(sink_.shown[0].caption, "Confirm Download");
            continue;
        }
        EXPECT_EQ(flow.Download(), DownloadOutcome::kFailed);
        ASSERT_EQ(sink_.shown.size(), 1u);
        EXPECT_EQ(sink_.shown[0].text, "Error with setup");
        EXPECT_EQ(sink_.shown[0].caption, "Error");
        EXPECT_EQ(ports_.size(), opened) << "the link was opened";
        EXPECT_EQ(tester_->commands.size(), sent);
        EXPECT_TRUE(flow.DownloadEnabled());
    }
}

TEST_F(DownloadFlowTest, PortFailureAtDownload) {
    Image("good.bin", 256, 8);
    test::WriteScript(dir_ / "app.qob", "Demo", "1.0", {"good.bin -RAM"});
    DownloadFlow flow(view_);
    Prepare(flow, {"Demo"});
    openResult_ = LinkOpenResult::OpenFailed;
    EXPECT_EQ(flow.Download(), DownloadOutcome::kFailed);
    ASSERT_EQ(sink_.shown.size(), 2u);
    EXPECT_EQ(sink_.shown[1].text, "Incorrect or disconnected serial (COM) port");
    EXPECT_EQ(sink_.shown[1].caption, "Comm Error");
    EXPECT_EQ(view_.events.back(), "enable");
}

TEST_F(DownloadFlowTest, ApplicationsRunInTheOrderGivenEachWithItsOwnTotal) {
    const auto a = Image("a.bin", 128 * 4, 9);
    const auto b = Image("b.bin", 128 * 8, 10);
    test::WriteScript(dir_ / "a.qob", "First", "1", {"a.bin 1000 -RAM"});
    test::WriteScript(dir_ / "b.qob", "Second", "1", {"b.bin 9000 -RAM"});
    DownloadFlow flow(view_);
    Prepare(flow, {});
    int first = -1, second = -1;
    for (const auto& row : flow.rows()) (row.name == "First" ? first : second) = row.index;
    EXPECT_EQ(flow.DownloadApplications({second, first}), DownloadOutcome::kCompleted);
    EXPECT_TRUE(Holds("RAM", 0x1000, a));
    EXPECT_TRUE(Holds("RAM", 0x9000, b));
    // The second application's total starts again from 0.
    EXPECT_EQ(view_.progress.total, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87, 0, 25, 50, 75}));
    const auto lb = std::find(tester_->commands.begin(), tester_->commands.end(), "LB 9000 400");
    EXPECT_LT(lb, std::find(tester_->commands.begin(), tester_->commands.end(), "LB 1000 200"));
}

TEST_F(DownloadFlowTest, CancelInAnyPhaseStopsTheDownload) {
    struct Row {
        const char* name;
        std::vector<std::string> statements;
        std::string cancelAt;  // how the text written when the user cancels begins ("<block>": a block)
        int occurrence;
    };
    Image("a.bin", 1024, 11);
    Image("b.bin", 2048, 12);
    const Row rows[] = {
        {"end-of-transfer wait", {"a.bin 20000 -RAM", "b.bin 30000 -RAM"}, "<block>", 8},
        {"speed change back", {"a.bin 20000 -RAM", "b.bin 30000 -RAM"}, "BR 9600\r", 1},
        {"reset wait", {"a.bin 20000 -RAM -r", "b.bin 30000 -RAM"}, "RS\r", 1},
        {"erase-only statement", {"a.bin 2 -MERASE", "b.bin 30000 -RAM"}, "MACFE 2 ", 1},
        {"the last statement's end", {"b.bin 30000 -RAM -r"}, "RS\r", 1},
    };
    for (const auto& row : rows) {
        test::WriteScript(dir_ / "app.qob", "Demo", "1.0", row.statements);
        tester_ = std::make_unique<test::FakeMonitorLink>(clock_);
        DownloadFlow flow(view_);
        Prepare(flow, {"Demo"});
        int seen = 0;
        watch_ = [&](std::string_view written) {
            if (written.substr(0, row.cancelAt.size()) == row.cancelAt && ++seen == row.occurrence)
                DownloadCancelFlag = 1;
        };
        EXPECT_EQ(flow.Download(), DownloadOutcome::kFailed) << row.name;
        watch_ = nullptr;
        ASSERT_EQ(sink_.shown.size(), 2u) << row.name;
        EXPECT_EQ(sink_.shown[1].text, "Download aborted") << row.name;
        EXPECT_EQ(sink_.shown[1].caption, "Message") << row.name;
        // The statement after the cancel never starts.
        const auto& sent = tester_->commands;
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "LB 30000 800"), row.statements.size() == 1 ? 1 : 0)
            << row.name;
        EXPECT_NE(title_.history.end(), std::find(title_.history.begin(), title_.history.end(), "ZUL for KVR 7700"));
        EXPECT_EQ(std::find(title_.history.begin(), title_.history.end(), "Download Complete"), title_.history.end())
            << row.name;
        // The next download starts afresh.
        sink_.shown.clear();
        tester_ = std::make_unique<test::FakeMonitorLink>(clock_);
        EXPECT_EQ(flow.Download(), DownloadOutcome::kCompleted) << row.name;
    }
}

TEST_F(DownloadFlowTest, BlocksToSendLeaveOutStatementsThatOnlyErase) {
    Image("a.bin", 128 * 8, 13);
    Image("c.bin", 128 * 32, 14);
    Image("b.bin", 128 * 16, 15);
    test::WriteScript(dir_ / "app.qob", "Card", "1.0",
                      {"a.bin 20000 -RAM", "c.bin 2 -MERASE", "!Half way", "b.bin 30000 -RAM"});
    DownloadFlow flow(view_);
    Prepare(flow, {"Card"});
    EXPECT_EQ(flow.Download(), DownloadOutcome::kCompleted);
    EXPECT_EQ(view_.progress.blocksToSend, (std::vector<std::uint64_t>{24, 16, 16}));
    // The total bar counts the erase-only statement's 2 MB too, as it
    // should, and so stays near 0: no ground for a time left.
    EXPECT_EQ(view_.progress.total.back(), static_cast<int>(100 * 23 / ((1024 + 2097152 + 2048) / 128)));
}

}  // namespace
}  // namespace zul
