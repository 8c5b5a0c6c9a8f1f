#include "ui/front_end.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/startup.h"
#include "testlib/program_state.h"
#include "testlib/recording_sink.h"
#include "testlib/ui_recorders.h"
#include "tester/link_trace.h"

namespace zul {
namespace {

class IdlePump final : public MessagePump {
public:
    bool HasPendingMessage() override { return false; }
    bool DispatchOne() override { return true; }
    bool Idle(long) override { return false; }
    void PostQuit() override {}
};

std::string MappedDevice(int) { return "/dev/mapped"; }

// Every seam as a comparable line, so that one comparison shows which seam a
// scope failed to install or to put back.
std::vector<std::string> Describe(const FrontEnd& f) {
    std::ostringstream pointers;
    pointers << f.messageSink << ' ' << f.messagePump << ' ' << f.clock << ' ' << f.linkTrace << ' '
             << f.mainWindowTitle;
    return {pointers.str(),
            f.deviceMap != nullptr ? f.deviceMap(1) : "no map",
            f.serialPortFactory ? "factory" : "no factory",
            f.deviceOverride,
            f.inProcessSimulator ? "simulator" : "no simulator",
            f.linkOpener ? "opener" : "no opener",
            f.monitorImageOverride ? std::to_string(f.monitorImageOverride->loadAddress) : "no image"};
}

TEST(FrontEndScopeTest, InstallsEverySeamAndPutsBackWhatItFound) {
    test::RecordingSink sink;
    IdlePump pump;
    VirtualClock clock;
    std::ostringstream trace;
    test::RecordingTitle title;
    const std::vector<std::uint8_t> image(256, 1);
    FrontEnd outer;
    outer.messageSink = &sink;
    outer.messagePump = &pump;
    outer.clock = &clock;
    outer.deviceMap = &MappedDevice;
    outer.serialPortFactory = [](int, int, int) { return std::unique_ptr<SerialPort>(); };
    outer.deviceOverride = "/dev/override";
    outer.inProcessSimulator = true;
    outer.linkTrace = &trace;
    outer.linkOpener = [](int, std::unique_ptr<TesterLink>*) { return LinkOpenResult::Ok; };
    outer.monitorImageOverride = MonitorImageRef{0x60000, image};
    outer.mainWindowTitle = &title;

    const auto before = Describe(InstalledFrontEnd());
    EXPECT_EQ(before, Describe(FrontEnd()));  // the core's defaults
    {
        FrontEndScope scope(outer);
        EXPECT_EQ(Describe(InstalledFrontEnd()), Describe(outer));
        EXPECT_EQ(&CurrentMessageSink(), &sink);
        EXPECT_EQ(&CurrentClock(), &clock);
        EXPECT_EQ(&CurrentMainWindowTitle(), &title);
        EXPECT_EQ(DeviceForComNumber(4), "/dev/override");
        EXPECT_TRUE(TesterIsSimulated());
        EXPECT_EQ(TesterLinkTrace(), &trace);
        {
            // A nested scope over the installed front end changes one seam
            // and leaves the others as they are.
            FrontEnd inner = InstalledFrontEnd();
            inner.deviceOverride.clear();
            inner.messageSink = nullptr;
            FrontEndScope nested(inner);
            EXPECT_EQ(DeviceForComNumber(4), "/dev/mapped");
            EXPECT_NE(&CurrentMessageSink(), &sink);
            EXPECT_EQ(&CurrentClock(), &clock);
        }
        EXPECT_EQ(Describe(InstalledFrontEnd()), Describe(outer));
    }
    EXPECT_EQ(Describe(InstalledFrontEnd()), before);
    EXPECT_EQ(&CurrentClock(), &SystemClock());
    EXPECT_FALSE(TesterIsSimulated());
}

TEST(FrontEndScopeTest, ProgramStateComesBackAfterATestChangedIt) {
    const std::string path = SettingsFilePath();
    {
        test::ScopedProgramState state;
        SetSettingsFilePath("/somewhere/zultw.ini");
        auto selection = std::make_unique<PortSelection>();
        selection->portNumber = 7;
        SetCurrentPortSelection(std::move(selection));
        DownloadCancelFlag = 1;
    }
    EXPECT_EQ(SettingsFilePath(), path);
    EXPECT_EQ(CurrentPortSelection(), nullptr);
    EXPECT_EQ(DownloadCancelFlag.load(), 0);
}

}  // namespace
}  // namespace zul
