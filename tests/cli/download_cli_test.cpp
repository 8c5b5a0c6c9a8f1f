// zul-cli download end to end, against a simulated tester in the process.
#include <gtest/gtest.h>

#include <cstdio>

#include "testlib/temp_dir.h"
#include "testlib/image_fixtures.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

std::string Crc32Hex(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    char text[16];
    std::snprintf(text, sizeof text, "%08x", ~crc);
    return text;
}

class DownloadCliTest : public ::testing::Test {
protected:
    DownloadCliTest() {
        dir_.Write("zultw.ini", "[Dir Setup]\nQOBDir=" + dir_.path() + "\nImgQOBDir=" + dir_.path() +
                                    "\nQOBClosingMsg=Cycle power now.\n");
    }
    std::vector<std::uint8_t> Image(const std::string& name, std::size_t size, unsigned seed) {
        auto bytes = test::ImageBytes(size, seed);
        test::WriteImage(dir_ / name, bytes);
        return bytes;
    }
    int Download(const std::string& arguments, std::string* output) {
        return test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + test::ShellQuote(dir_ / "zultw.ini") +
                                    " download " + arguments + " </dev/null",
                                dir_.path(), output);
    }
    test::TempDir dir_;
};

TEST_F(DownloadCliTest, RamFlashAndCardLoadsLandIntact) {
    const auto ram = Image("ram.bin", 4096, 1);
    const auto f1 = Image("f1.bin", 4096, 2);
    const auto f2 = Image("f2.bin", 2048, 3);
    const auto card = Image("card.bin", 16384, 4);
    test::WriteScript(dir_ / "ram.qob", "RAM Tool", "1.0", {"!Starting", "ram.bin 20000 -RAM"});
    test::WriteScript(dir_ / "flash.qob", "Flash Pack", "2.0", {"f1.bin 100000 -FLASH", "f2.bin 140000 -BANK"});
    test::WriteScript(dir_ / "card.qob", "Card Pack", "3.0", {"card.bin 4 2 -MBANK"});

    std::string output;
    EXPECT_EQ(Download("--simulate --yes \"RAM Tool\" \"Flash Pack\" \"Card Pack\"", &output), 0) << output;
    EXPECT_NE(output.find("[Message] !Starting"), std::string::npos) << output;
    EXPECT_NE(output.find("[Download Status] Download complete in "), std::string::npos) << output;
    EXPECT_NE(output.find("simulated tester: ram 20000: 32 of 32 blocks stored, 4096 bytes, crc32 " + Crc32Hex(ram)),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("simulated tester: flash 100000: 32 of 32 blocks stored, 4096 bytes, crc32 " + Crc32Hex(f1)),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("simulated tester: flash 140000: 16 of 16 blocks stored, 2048 bytes, crc32 " + Crc32Hex(f2)),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("simulated tester: card 4: 128 of 128 blocks stored, 16384 bytes, crc32 " + Crc32Hex(card)),
              std::string::npos)
        << output;
    // The monitor is uploaded once, for the first flash statement.
    std::size_t uploads = 0;
    for (std::size_t at = 0; (at = output.find("simulated tester: ram 60000", at)) != std::string::npos; ++at)
        ++uploads;
    EXPECT_EQ(uploads, 1u) << output;
}

TEST_F(DownloadCliTest, FailuresEndWithTheirMessage) {
    Image("ram.bin", 2048, 5);
    Image("flash.bin", 2048, 6);
    test::WriteScript(dir_ / "ram.qob", "RAM Tool", "1.0", {"ram.bin 20000 -RAM"});
    test::WriteScript(dir_ / "flash.qob", "Flash Pack", "1.0", {"flash.bin 100000 -FLASH"});
    struct Row {
        const char* arguments;
        int exitCode;
        const char* shows;
    };
    const Row rows[] = {
        {"--simulate=refuse-block@3 --yes \"RAM Tool\"", 1, "[Error] Software not updated"},
        {"--simulate=erase-error --yes \"Flash Pack\"", 1, "[Error] Can't communicate with the tester"},
        {"--simulate=refuse-monitor --yes \"Flash Pack\"", 1, "[Error] Monitor could not be downloaded"},
        {"--simulate=wrong-id --yes \"RAM Tool\"", 1, "[Error] Unsuccessful communication with the Engine Analyzer."},
        {"--simulate --yes \"No Such App\"", 1, "no application \"No Such App\""},
        {"--simulate \"RAM Tool\"", 2, "[Confirm Download]"},
        {"--simulate=no-such-fault --yes \"RAM Tool\"", 1, "--simulate no-such-fault"},
    };
    for (const auto& row : rows) {
        std::string output;
        EXPECT_EQ(Download(row.arguments, &output), row.exitCode) << row.arguments << "\n" << output;
        EXPECT_NE(output.find(row.shows), std::string::npos) << row.arguments << "\n" << output;
        EXPECT_EQ(output.find("Download complete"), std::string::npos) << row.arguments;
    }
}

}  // namespace
}  // namespace zul
