// A monitor image file named in the settings is read only when it is a
// regular file of bounded size.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tester/monitor_image.h"
#include "testlib/bounded_run.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

TEST(MonitorImageFile, OnlyARegularFileOfBoundedSizeIsRead) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0600), 0);
    ::mkdir((dir / "dir.bin").c_str(), 0700);
    dir.Write("sparse.bin", "");
    ASSERT_EQ(::truncate((dir / "sparse.bin").c_str(), 64 << 20), 0);  // 64 MB, no disk used
    const struct {
        std::string path;
        MonitorImageResult expected;
    } cases[] = {
        {dir / "pipe.bin", MonitorImageResult::Unreadable},  // would hold the download with the port open
        {dir / "dir.bin", MonitorImageResult::Unreadable},
        {"/dev/zero", MonitorImageResult::Unreadable},  // would grow without bound
        {dir / "sparse.bin", MonitorImageResult::BadSize},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(test::FinishesWithin(5, [&] {
            MonitorImage image;
            return LoadMonitorImageFile(RealFileSystem(), c.path, &image) == c.expected && image.bytes.empty();
        })) << c.path;
    }
}

}  // namespace
}  // namespace zul
