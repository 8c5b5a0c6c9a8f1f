#pragma once
// What every SerialPort back end must do alike: the harness a back end
// provides, the fixture and the tables. The cases are in
// serial_port_contract_tests.h; a back end is checked by one test file that
// includes that header (once per test program) and instantiates the suite
// with a maker of its harness:
//
//   INSTANTIATE_TEST_SUITE_P(Pty, SerialPortContract,
//                            ::testing::Values(test::PortBackEnd{"pty", MakePtyHarness}),
//                            test::PortBackEndName);
//
// Only what holds on every device is here; what a device cannot do (modem
// lines on a pseudo-terminal, flow control on the tester cable) stays in the
// back end's own tests.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/serial_port.h"

namespace zul::test {

// Lines every port refuses, with the code it returns and records.
struct LineRefusal {
    int baud;
    char parity;
    int dataBits;
    int stopBits;
    SerialError result;
};
inline constexpr LineRefusal kLineRefusals[] = {
    {19200, 'X', 8, 1, SerialError::SL_BAD_PARITY},    {19200, '\0', 8, 1, SerialError::SL_BAD_PARITY},
    {19200, 'N', 9, 1, SerialError::SL_BAD_DATA_BITS}, {19200, 'N', 3, 1, SerialError::SL_BAD_DATA_BITS},
    {19200, 'N', 8, 3, SerialError::SL_BAD_STOP_BITS}, {19200, 'N', 8, 0, SerialError::SL_BAD_STOP_BITS},
    {12345, 'N', 8, 1, SerialError::SL_ERROR},  // a speed no device takes
};

// One fresh port of a back end, open and configured, with a far end.
class PortHarness {
public:
    virtual ~PortHarness() = default;
    virtual SerialPort& port() = 0;
    // Sends a request through the port (writeString) that the far end answers,
    // and waits (bounded) until the whole answer is in the port's receive
    // queue. Returns a text the answer contains; empty when none came.
    virtual std::string Exchange() = 0;
};

struct PortBackEnd {
    const char* name;
    std::function<std::unique_ptr<PortHarness>()> make;
};

inline std::string PortBackEndName(const ::testing::TestParamInfo<PortBackEnd>& info) { return info.param.name; }

class SerialPortContract : public ::testing::TestWithParam<PortBackEnd> {
protected:
    void SetUp() override {
        harness = GetParam().make();
        ASSERT_NE(harness, nullptr);
        ASSERT_EQ(port().lastError, 0);
    }
    SerialPort& port() { return harness->port(); }
    std::string Line() {
        int baud = 0, dataBits = 0, stopBits = 0;
        char parity = '\0';
        port().getLine(&baud, &parity, &dataBits, &stopBits);
        return std::to_string(baud) + " " + std::string(1, parity) + " " + std::to_string(dataBits) + " " +
               std::to_string(stopBits);
    }
    std::pair<int, int> Flow() {
        int in = -1, out = -1;
        EXPECT_EQ(port().getFlowControl(&in, &out), 0);
        return {in, out};
    }

    std::unique_ptr<PortHarness> harness;
};

}  // namespace zul::test
