#include <gtest/gtest.h>

#include <string>

#include "serial/device_names.h"

namespace zul {
namespace {

// What the user reads when a device does not open: one sentence per reason,
// led by the device's name, nothing for no failure.
TEST(OpenFailureTexts, OneSentencePerReason) {
    const struct {
        OpenFailureKind kind;
        int systemError;
        const char* text;
    } kTable[] = {
        {OpenFailureKind::kNone, 0, ""},
        {OpenFailureKind::kNone, 13, ""},
        {OpenFailureKind::kMissing, 2, "/dev/ttyS0: no such device."},
        {OpenFailureKind::kPermission, 13,
         "/dev/ttyS0: permission denied. The user needs read and write access to the device (on Linux, "
         "membership of the 'dialout' group; log in again after adding it)."},
        {OpenFailureKind::kBusy, 16, "/dev/ttyS0: busy, another program holds the port."},
        {OpenFailureKind::kNotSerial, 25, "/dev/ttyS0: not a serial device."},
        {OpenFailureKind::kOther, 5, "/dev/ttyS0: cannot be opened (system error 5)."},
    };
    for (const auto& row : kTable) {
        const OpenFailure failure{row.kind, "/dev/ttyS0", row.systemError};
        EXPECT_EQ(DescribeOpenFailure(failure), row.text) << static_cast<int>(row.kind);
    }
    EXPECT_EQ(DescribeOpenFailure(OpenFailure()), "");
    EXPECT_EQ(DescribeOpenFailure({OpenFailureKind::kBusy, "COM3", 5}), "COM3: busy, another program holds the port.");
}

}  // namespace
}  // namespace zul
