// The port contract on the POSIX back end, over a pseudo-terminal whose far
// end echoes what it receives.
#include <memory>
#include <string>

#include "serial/posix/posix_serial_port.h"
#include "testlib/serial_port_contract_tests.h"
#include "testlib/serial_pty.h"

namespace zul::test {
namespace {

class PtyHarness : public PortHarness {
public:
    PtyHarness() {
        if (!pty_.ok()) return;
        pty_.StartEcho();
        port_ = std::make_unique<PosixSerialPort>(20, pty_.slavePath(), kInQueueSize, kOutQueueSize);
    }
    SerialPort& port() override { return *port_; }
    std::string Exchange() override {
        const std::string request = "zul ping\r";
        const int before = pty_.SlaveInputWaiting();
        if (port_->writeString(request.c_str()) != static_cast<int>(request.size())) return "";
        const int wanted = before + static_cast<int>(request.size());
        return WaitUntil([this, wanted] { return pty_.SlaveInputWaiting() >= wanted; }) ? "ping" : "";
    }
    bool ok() const { return port_ != nullptr; }

private:
    PtyPair pty_;
    std::unique_ptr<PosixSerialPort> port_;
};

std::unique_ptr<PortHarness> MakePtyHarness() {
    auto harness = std::make_unique<PtyHarness>();
    if (!harness->ok()) return nullptr;
    return harness;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Posix, SerialPortContract, ::testing::Values(PortBackEnd{"PseudoTerminal", MakePtyHarness}),
                         PortBackEndName);

}  // namespace zul::test
