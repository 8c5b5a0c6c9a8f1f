#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "host/messages.h"
#include "host/settings_store.h"
#include "host/startup.h"
#include "serial/device_names.h"
#include "serial/direct_port.h"
#include "serial/loopback.h"
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "support/clock.h"
#include "testlib/program_state.h"
#include "testlib/recording_sink.h"
#include "testlib/serial_pty.h"
#include "testlib/temp_dir.h"
#include "ui/ports/com_port_selection.h"
#include "ui/ports/device_map.h"
#include "ui/front_end.h"

namespace zul {
namespace {

using test::PtyPair;

using test::RecordingSink;

class RecordingStatus final : public StatusWindow {
public:
    std::vector<std::string> events;
    void Open(std::string_view text) override { events.push_back("open " + std::string(text)); }
    void Close() override { events.push_back("close"); }
};

// The far end of the adapter: echoes what it receives, perhaps not all of it.
// The test's 250 ms wait between sending and receiving runs in virtual time,
// and ends only when the far end has answered everything sent so far.
class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        clock.OnAdvance([this](std::uint32_t) { WaitForFarEnd(); });
    }
    FrontEnd TestFrontEnd() {
        FrontEnd frontEnd;
        frontEnd.deviceOverride = pty.slavePath();
        frontEnd.messageSink = &sink;
        frontEnd.clock = &clock;
        return frontEnd;
    }
    void WaitForFarEnd() {
        test::WaitUntil([this] { return pty.echoReceived() >= 256; });
        test::WaitUntil([this] { return pty.SlaveInputWaiting() >= expectedEchoes; });
    }

    PtyPair pty;
    RecordingSink sink;
    VirtualClock clock;
    FrontEndScope frontEnd{TestFrontEnd()};
    int expectedEchoes = 256;
};

TEST_F(LoopbackTest, EchoingAdapterPasses) {
    pty.StartEcho();
    EXPECT_EQ(loopbackTest("COM3"), 1);
    EXPECT_EQ(clock.TickCount(), 250u);
    // Closed again: the port can be opened at once.
    DirectPort again;
    EXPECT_EQ(again.open("COM3", 9600, 8, 0, 0), 1);
    EXPECT_EQ(pty.Baud(), 9600);
}

TEST_F(LoopbackTest, AdapterThatDropsByte0x80Fails) {
    expectedEchoes = 255;
    pty.StartEcho([](std::uint8_t byte) { return byte != 0x80; });
    EXPECT_EQ(loopbackTest("COM3"), 0);
}

TEST_F(LoopbackTest, AdapterThatEchoesNothingFails) {
    expectedEchoes = 0;
    pty.StartEcho([](std::uint8_t) { return false; });
    EXPECT_EQ(loopbackTest("COM3"), 0);
    EXPECT_EQ(pty.echoReceived(), 256u);
}

// The test borrows the port: speed, frame and line discipline are as it found
// them afterwards, whether it passed or failed, and however the port closed.
TEST_F(LoopbackTest, LeavesTheDeviceAsItFoundIt) {
    termios found = pty.Attributes();
    cfsetospeed(&found, B38400);
    cfsetispeed(&found, B38400);
    found.c_cflag |= CSTOPB;
    found.c_lflag |= ICANON | ECHO;
    found.c_iflag |= ICRNL;
    found.c_cc[VMIN] = 1;
    const struct {
        const char* name;
        std::function<void()> use;
    } kTable[] = {
        {"test passed",
         [this] {
             expectedEchoes = 256;
             pty.StartEcho();
             EXPECT_EQ(loopbackTest("COM3"), 1);
             pty.StopEcho();
         }},
        {"test failed",
         [this] {
             expectedEchoes = 0;
             pty.StartEcho([](std::uint8_t) { return false; });
             EXPECT_EQ(loopbackTest("COM3"), 0);
             pty.StopEcho();
         }},
        {"closed",
         [this] {
             DirectPort port;
             ASSERT_EQ(port.open("COM3", 115200, 8, 0, 0), 1);
             EXPECT_EQ(pty.Baud(), 115200);
             EXPECT_EQ(port.close(), 1);
         }},
        {"destroyed while open",
         [this] {
             DirectPort port;
             ASSERT_EQ(port.open("COM3", 9600, 8, 0, 0), 1);
             EXPECT_EQ(pty.Baud(), 9600);
             EXPECT_EQ(pty.Attributes().c_lflag & ICANON, 0u);
         }},
    };
    for (const auto& row : kTable) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(pty.SetAttributes(found));
        row.use();
        const termios after = pty.Attributes();
        EXPECT_EQ(pty.Baud(), 38400);
        EXPECT_EQ(pty.StopBits(), 2);
        EXPECT_NE(after.c_lflag & ICANON, 0u);
        EXPECT_NE(after.c_lflag & ECHO, 0u);
        EXPECT_NE(after.c_iflag & ICRNL, 0u);
        EXPECT_EQ(after.c_cc[VMIN], 1);
    }
}

TEST_F(LoopbackTest, PortThatCannotBeOpenedFails) {
    test::TempDir dir;
    SetDeviceOverride(dir / "missing");
    EXPECT_EQ(loopbackTest("COM3"), 0);
    EXPECT_EQ(LastOpenFailure().kind, OpenFailureKind::kMissing);
    EXPECT_EQ(loopbackTest(nullptr), 0);
    DirectPort port;
    EXPECT_EQ(port.open("", 9600, 8, 0, 0), 0);
    EXPECT_EQ(port.handle, 0);
}

TEST_F(LoopbackTest, PortHeldByTheSerialLinkFails) {
    auto held = CreateSerialPort(2);
    ASSERT_EQ(held->lastError, 0);
    EXPECT_EQ(loopbackTest("COM3"), 0);
    EXPECT_EQ(LastOpenFailure().kind, OpenFailureKind::kBusy);
}

TEST_F(LoopbackTest, RunComPortTestConfirmationsAndResults) {
    const struct {
        std::vector<int> answers;
        bool echo;
        int result;
        std::vector<int> textIds;  // messages shown, in order
        unsigned lastType;
        bool statusShown;
    } kTable[] = {
        {{kIdCancel}, true, kIdCancel, {720}, kMbOkCancel | kMbIconQuestion, false},
        {{kIdOk, kIdCancel}, true, kIdCancel, {720, 721}, kMbOkCancel | kMbIconInformation, false},
        {{kIdOk, kIdOk}, true, kIdOk, {720, 721, 722}, kMbIconInformation, true},
        {{kIdOk, kIdOk}, false, kIdOk, {720, 721, 723}, kMbIconError, true},
    };
    for (const auto& row : kTable) {
        pty.StopEcho();
        expectedEchoes = row.echo ? 256 : 0;
        pty.StartEcho([&row](std::uint8_t) { return row.echo; });
        sink.shown.clear();
        sink.answers.assign(row.answers.begin(), row.answers.end());
        RecordingStatus status;
        EXPECT_EQ(runComPortTest(3, &status), row.result);
        ASSERT_EQ(sink.shown.size(), row.textIds.size());
        for (std::size_t i = 0; i < row.textIds.size(); ++i)
            EXPECT_EQ(sink.shown[i].text, LoadResourceString(row.textIds[i]));
        EXPECT_EQ(sink.shown.back().type, row.lastType);
        if (row.statusShown) {
            EXPECT_EQ(status.events, (std::vector<std::string>{"open Performing COM port test...", "close"}));
            EXPECT_EQ(sink.shown.back().caption, row.echo ? "Success" : "Error");
        } else {
            EXPECT_TRUE(status.events.empty());
            EXPECT_EQ(pty.echoReceived(), 0u) << "the port was opened";
        }
    }
}

class SelectComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsFilePath(dir / "zultw.ini");
        SetCurrentPortSelection(std::make_unique<PortSelection>());
    }
    static FrontEnd TestFrontEnd() {
        FrontEnd frontEnd;
        frontEnd.deviceMap = &SettingsDeviceForComNumber;
        return frontEnd;
    }
    test::ScopedProgramState state;
    test::TempDir dir;
    FrontEndScope frontEnd{TestFrontEnd()};
};

TEST_F(SelectComPortTest, StoredNumberOutsideTheListSelectsCom1) {
    const struct {
        const char* stored;
        int entry;
    } kTable[] = {{"0", 0}, {"11", 0}, {"x", 0}, {"-3", 0}, {"4", 3}, {"10", 9}, {" 7", 6}};
    for (const auto& row : kTable) {
        SettingsStore store(SettingsFilePath());
        store.WriteValue("comm", "Port", row.stored);
        SelectComPortChoice choice(store);
        EXPECT_EQ(choice.selectedEntry(), row.entry) << row.stored;
    }
    EXPECT_EQ(SelectComPortChoice::PortNames().size(), 10u);
    EXPECT_EQ(SelectComPortChoice::PortNames().back(), "COM10");
}

TEST_F(SelectComPortTest, OkStoresBothKeysAndTheSelection) {
    SettingsStore store(SettingsFilePath());
    store.WriteValue("comm", "Port", "11");
    SelectComPortChoice choice(store);
    choice.Confirm(store);
    EXPECT_EQ(store.ReadValue("comm", "Port", ""), "1");
    EXPECT_EQ(store.ReadValue("Comm Strings", "Port", ""), "COM1");

    choice.select(9);
    choice.Confirm(store);
    EXPECT_EQ(store.ReadValue("comm", "Port", ""), "10");
    EXPECT_EQ(store.ReadValue("Comm Strings", "Port", ""), "COM10");
    EXPECT_STREQ(CurrentPortSelection()->portName, "COM10");
    EXPECT_EQ(CurrentPortSelection()->portNumber, 10);

    // Cancel: nothing stored, even after a test of another port.
    SelectComPortChoice other(store);
    other.select(1);
    RecordingSink sink;
    sink.answers = {kIdCancel};
    {
        FrontEnd answering = InstalledFrontEnd();
        answering.messageSink = &sink;
        FrontEndScope scope(answering);
        EXPECT_EQ(other.Test(), kIdCancel);
    }
    EXPECT_EQ(store.ReadValue("comm", "Port", ""), "10");
    EXPECT_EQ(CurrentPortSelection()->portNumber, 10);
}

TEST_F(SelectComPortTest, TestInsideTheDialogUsesTheListedPort) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SettingsStore store(SettingsFilePath());
    store.WriteValue("Devices", "COM5", pty.slavePath().c_str());
    store.WriteValue("comm", "Port", "2");
    EXPECT_EQ(DeviceForComNumber(5), pty.slavePath());
    EXPECT_EQ(DeviceForComNumber(2), "/dev/ttyS1");

    RecordingSink sink;
    VirtualClock clock;
    FrontEnd testing = InstalledFrontEnd();
    testing.messageSink = &sink;
    testing.clock = &clock;
    FrontEndScope scope(testing);
    pty.StartEcho();
    clock.OnAdvance([&pty](std::uint32_t) {
        test::WaitUntil([&pty] { return pty.SlaveInputWaiting() >= 256; });
    });
    SelectComPortChoice choice(store);
    choice.select(4);
    EXPECT_EQ(choice.Test(), kIdOk);
    ASSERT_EQ(sink.shown.size(), 3u);
    EXPECT_EQ(sink.shown.back().text, LoadResourceString(kIdsComTestPassed));
}

TEST(ComDeviceNames, NamesAndOverride) {
    const struct {
        const char* name;
        int number;
    } kTable[] = {{"COM1", 1}, {"com10", 10}, {"COM0", 0}, {"COM", 0}, {"COM1x", 0}, {"LPT1", 0}, {nullptr, 0}};
    for (const auto& row : kTable) EXPECT_EQ(ComNumberOfName(row.name), row.number) << (row.name ? row.name : "null");
    EXPECT_EQ(DefaultDeviceForComNumber(1), "/dev/ttyS0");
    SetDeviceOverride("/dev/ttyUSB0");
    EXPECT_EQ(DeviceForComNumber(7), "/dev/ttyUSB0");
    SetDeviceOverride("");
    EXPECT_EQ(DeviceForComNumber(7), "/dev/ttyS6");
}

}  // namespace
}  // namespace zul
