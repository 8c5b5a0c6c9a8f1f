#include "tester/monitor_image.h"

#include <gtest/gtest.h>

#include "testlib/tester_result_printers.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

TEST(MonitorImage, BuiltInImageHasTheUploadGeometryAndIsStable) {
    const MonitorImage& image = MonitorPowerPcImage();
    EXPECT_EQ(image.loadAddress, 0x60000u);
    EXPECT_EQ(image.size(), 14336u);
    EXPECT_EQ(image.blockCount(), 112u);
    EXPECT_TRUE(image.placeholder);
    EXPECT_EQ(&image, &MonitorPowerPcImage());
    const std::string head(image.bytes.begin(), image.bytes.begin() + 23);
    EXPECT_EQ(head, "ZUL PLACEHOLDER MONITOR");
    // The filler covers the whole byte range, so uploads exercise every value.
    bool seen[256] = {};
    for (auto b : image.bytes) seen[b] = true;
    for (int v = 0; v < 256; ++v) EXPECT_TRUE(seen[v]) << v;
}

TEST(MonitorImage, SettingSelectsAFileAndRejectsUnusableOnes) {
    test::TempDir dir;
    const std::string ini = dir / "zultw.ini";
    SettingsStore store(ini, dir.path());
    MonitorImage image;
    ASSERT_EQ(SelectMonitorImage(store, RealFileSystem(), &image), MonitorImageResult::Ok);
    EXPECT_TRUE(image.placeholder);

    struct Case {
        const char* name;
        std::size_t size;
        MonitorImageResult expected;
    } cases[] = {
        {"good.bin", 256, MonitorImageResult::Ok},
        {"empty.bin", 0, MonitorImageResult::BadSize},
        {"odd.bin", 300, MonitorImageResult::BadSize},
        {"huge.bin", kMonitorImageMaxSize + 128, MonitorImageResult::BadSize},
        {"missing.bin", 0, MonitorImageResult::Unreadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.expected != MonitorImageResult::Unreadable) dir.Write(c.name, std::string(c.size, '\x5a'));
        ASSERT_TRUE(store.WriteValue("Dir Setup", "MonitorImage", (dir / c.name).c_str()));
        MonitorImage selected;
        selected.bytes = {1, 2, 3};
        EXPECT_EQ(SelectMonitorImage(store, RealFileSystem(), &selected), c.expected);
        if (c.expected == MonitorImageResult::Ok) {
            EXPECT_FALSE(selected.placeholder);
            EXPECT_EQ(selected.size(), c.size);
            EXPECT_EQ(selected.loadAddress, 0x60000u);
        } else {
            EXPECT_EQ(selected.size(), 3u);  // left untouched
        }
    }
}

}  // namespace
}  // namespace zul
