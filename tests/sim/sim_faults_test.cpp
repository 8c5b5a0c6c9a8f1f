#include "sim/sim_faults.h"

#include <gtest/gtest.h>

#include <functional>

#include "sim/played_tester.h"
#include "sim_bench.h"
#include "testlib/image_fixtures.h"
#include "tester/monitor_image.h"

namespace zul::sim {
namespace {

using test::SimBench;

TEST(FaultSpec, ListsAreReadWholeOrNotAtAll) {
    struct Case {
        const char* text;
        std::size_t added;  // faults added to the one already there
        const char* error;  // "" when the list parses
    } cases[] = {
        {"", 0, ""},
        {",,", 0, ""},
        {"silent", 1, ""},
        {"refuse-block@5,,garble=0.25,", 2, ""},
        {"silent,nonsense,low-battery", 0, "nonsense: "},
        {"garble=1.5", 0, "garble=1.5: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Fault> faults(1);
        std::string error;
        EXPECT_EQ(ParseFaultList(c.text, &faults, &error), *c.error == '\0');
        EXPECT_EQ(faults.size(), 1 + c.added);
        EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error);
        if (*c.error != '\0') {
            EXPECT_GT(error.size(), std::string(c.error).size());
        }
    }
}

TEST(FaultSpec, ParsesNamesValuesAndPositions) {
    struct Case {
        const char* text;
        bool ok;
        const char* formatted;  // round trip
    } cases[] = {
        {"silent", true, "silent"},
        {"silent@cmd:3", true, "silent@cmd:3"},
        {"wrong-id", true, "wrong-id=ZIZ1"},
        {"wrong-id=ABCD", true, "wrong-id=ABCD"},
        {"ignore-baud@cmd:2", true, "ignore-baud@cmd:2"},
        {"erase-error", true, "erase-error"},
        {"refuse-block@5", true, "refuse-block@5"},
        {"refuse-block", true, "refuse-block@1"},
        {"cable-pull@7", true, "cable-pull@7"},
        {"garble=0.25", true, "garble=0.25"},
        {"reset@3", true, "reset@3"},
        {"reset@cmd:4", true, "reset@cmd:4"},
        {"late-monitor", true, "late-monitor=30000"},
        {"late-monitor=20000", true, "late-monitor=20000"},
        {"low-battery", true, "low-battery"},
        {"refuse-monitor", true, "refuse-monitor"},
        {"nonsense", false, ""},
        {"garble", false, ""},
        {"garble=1.5", false, ""},
        {"garble=x", false, ""},
        {"silent=3", false, ""},
        {"refuse-block@0", false, ""},
        {"refuse-block@cmd:2", false, ""},
        {"erase-error@4", false, ""},
        {"late-monitor=-1", false, ""},
        {"reset@cmd:", false, ""},
        {"wrong-id=", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Fault f;
        std::string error;
        EXPECT_EQ(ParseFault(c.text, &f, &error), c.ok);
        if (c.ok) {
            EXPECT_EQ(FormatFault(f), c.formatted);
        } else {
            EXPECT_NE(error.find(c.text), std::string::npos);
        }
    }
}

SimOptions With(std::initializer_list<const char*> faultTexts, std::uint64_t seed = 1) {
    SimOptions options;
    options.seed = seed;
    for (const char* s : faultTexts) {
        Fault f;
        std::string error;
        EXPECT_TRUE(ParseFault(s, &f, &error)) << error;
        options.faults.push_back(f);
    }
    return options;
}

std::string LoadRam(SimBench& bench, std::uint32_t blocks) {
    char command[32];
    std::snprintf(command, sizeof command, "LB 2000 %x\r", blocks * 128);
    bench.sim.Receive(command, bench.now, bench.pcBaud);
    return bench.SendBlocks(zul::test::ImageBytes(blocks * 128), blocks);
}

struct FaultCase {
    const char* name;
    std::vector<const char*> faultTexts;
    bool needsUploadedMonitor;
    std::function<void(SimBench&)> check;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, ActsAsNamed) {
    const FaultCase& c = GetParam();
    SimOptions options;
    for (const char* s : c.faultTexts) {
        Fault f;
        std::string error;
        ASSERT_TRUE(ParseFault(s, &f, &error)) << error;
        options.faults.push_back(f);
    }
    SimBench bench(options);
    if (c.needsUploadedMonitor) {
        ASSERT_TRUE(test::StartUploadedMonitor(bench));
    }
    c.check(bench);
    if (c.faultTexts.size() == 1 && std::string(c.faultTexts[0]).rfind("garble", 0) != 0) {
        ASSERT_FALSE(bench.sim.firedFaults().empty());
        EXPECT_EQ(bench.sim.firedFaults()[0].substr(0, 6), std::string(c.faultTexts[0]).substr(0, 6));
    }
}

const FaultCase kFaultCases[] = {
    {"Silent", {"silent"}, false, [](SimBench& b) {
         EXPECT_EQ(b.Talk("I\r", 2000), "");
         EXPECT_EQ(b.sim.commandCount(), 0u);
     }},
    {"SilentFromCommand", {"silent@cmd:2"}, false, [](SimBench& b) {
         EXPECT_NE(b.Talk("I\r").find("ZIZ2"), std::string::npos);
         EXPECT_EQ(b.Talk("I\r", 2000), "");
     }},
    {"WrongId", {"wrong-id=ABCD"}, false, [](SimBench& b) { EXPECT_EQ(b.Talk("I\r").substr(3, 4), "ABCD"); }},
    {"IgnoreBaud", {"ignore-baud"}, false, [](SimBench& b) {
         EXPECT_EQ(b.Talk("BR 115200\r", 500), "BR 115200\r\n>");
         EXPECT_EQ(b.sim.baud(), 9600);
     }},
    {"EraseError", {"erase-error"}, true, [](SimBench& b) {
         b.sim.Receive("FE 80000\r", b.now, 9600);
         const std::string out = b.WaitFor(">");
         EXPECT_NE(out.find('*'), std::string::npos);
         EXPECT_EQ(out.back(), '>');
         EXPECT_EQ(b.sim.memory().flashEraseCount(), 0u);
     }},
    {"RefuseBlock", {"refuse-block@3"}, false, [](SimBench& b) {
         const std::string out = LoadRam(b, 5);
         EXPECT_EQ(std::count(out.begin(), out.end(), '!'), 2);
         EXPECT_NE(out.find("!!*"), std::string::npos) << out;
         EXPECT_EQ(b.sim.transfers().at(0).accepted, 2u);
         EXPECT_NE(b.Talk("I\r").find("ZIZ2"), std::string::npos);
     }},
    {"CablePull", {"cable-pull@2"}, false, [](SimBench& b) {
         const std::string out = LoadRam(b, 4);
         EXPECT_EQ(out, "LB 2000 200\r\n!");
         EXPECT_EQ(b.Talk("\rI\r", 5000), "");
     }},
    {"Garble", {"garble=1"}, false, [](SimBench& b) {
         const std::string out = b.Talk("V\r", 500);
         EXPECT_EQ(out.find("boot monitor"), std::string::npos);
     }},
    {"ResetInTransfer", {"reset@2"}, false, [](SimBench& b) {
         b.Talk("BR 115200\r", 500);
         b.pcBaud = 115200;
         const std::string out = LoadRam(b, 4);
         EXPECT_EQ(out, "LB 2000 200\r\n!");
         // The block request never came; meanwhile the tester went through its reset.
         EXPECT_FALSE(b.sim.transfers().at(0).complete);
         EXPECT_EQ(b.sim.state(), SimState::BootMonitor);
         EXPECT_EQ(b.sim.baud(), 9600);
         b.pcBaud = 9600;
         EXPECT_NE(b.Talk("I\r").find("ZIZ2"), std::string::npos);
     }},
    {"ResetAtCommand", {"reset@cmd:1"}, false, [](SimBench& b) {
         EXPECT_EQ(b.Talk("V\r", 50), "V\r\n");
         EXPECT_EQ(b.sim.state(), SimState::Resetting);
     }},
    {"LateMonitor", {"late-monitor=20000"}, false, [](SimBench& b) {
         EXPECT_FALSE(test::StartUploadedMonitor(b));
         b.Wait(15000);
         EXPECT_EQ(b.sim.state(), SimState::MonitorStarting);
         b.Wait(5000);
         EXPECT_EQ(b.sim.state(), SimState::UploadedMonitor);
     }},
    {"LowBattery", {"low-battery"}, true, [](SimBench& b) {
         for (const char* cmd : {"BV a1\r", "BV a7\r", "BV ad\r", "BV b4\r"}) {
             const std::string out = b.Talk(cmd);
             EXPECT_NE(out.find('*'), std::string::npos) << cmd;
             EXPECT_EQ(out.back(), '>');
         }
     }},
    {"RefuseMonitor", {"refuse-monitor"}, false, [](SimBench& b) {
         const std::string out = b.Talk("LB 60000 3800\r", 100);
         EXPECT_EQ(out, "LB 60000 3800\r\n*UPLOAD REFUSED*\r\n>");
         EXPECT_EQ(LoadRam(b, 1).back(), '>');  // other loads still work
     }},
    {"Combined", {"wrong-id", "low-battery", "refuse-block@2"}, false, [](SimBench& b) {
         EXPECT_EQ(b.Talk("I\r").substr(3, 4), "ZIZ1");
         const std::string out = LoadRam(b, 3);
         EXPECT_EQ(std::count(out.begin(), out.end(), '!'), 1);
         EXPECT_EQ(b.sim.firedFaults().size(), 2u);
     }},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::ValuesIn(kFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::string GarbledExchange(std::uint64_t seed) {
    SimBench bench(With({"garble=0.05"}, seed));
    for (int i = 0; i < 20; ++i) bench.Talk("V\r", 100);
    return bench.received;
}

TEST(GarbleFault, IsReproducibleForASeedAndVariesWithIt) {
    const std::string a = GarbledExchange(7);
    EXPECT_EQ(a, GarbledExchange(7));
    EXPECT_NE(a, GarbledExchange(8));
    // Some answers still arrive intact at this rate.
    EXPECT_NE(a.find("boot monitor"), std::string::npos);
}

}  // namespace
}  // namespace zul::sim
