// The tester link over the serial port library: one port, the link over it,
// and the connection's own line and flow companions, which put the port's
// settings back when the connection ends.
#include <memory>
#include <string>

#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "tester/link_setup.h"
#include "tester/link_trace.h"
#include "tester/tester_link.h"

namespace zul {
namespace {

// ReadByte hands the serial link's result on as it is.
static_assert(kLinkNoData == Code(SerialError::SL_NO_DATA));

class SerialTesterLink final : public TesterLink {
public:
    SerialTesterLink(std::unique_ptr<SerialPort> port, std::unique_ptr<SerialLink> link,
                     std::unique_ptr<LineSettings> line, std::unique_ptr<FlowSettings> flow)
        : port_(std::move(port)), link_(std::move(link)), line_(std::move(line)), flow_(std::move(flow)) {}

    ~SerialTesterLink() override {
        // Innermost first: each companion restores what it found.
        flow_.reset();
        line_.reset();
        link_.reset();
        port_.reset();
    }

    int ReadByte(int timeoutMs) override { return link_->readByte(timeoutMs); }
    int WriteText(std::string_view text) override {
        const std::string terminated(text);
        return link_->writeText(terminated.c_str(), -1);
    }
    int WriteBlock(const std::uint8_t* data, std::size_t count) override {
        return link_->writeBlock(data, static_cast<int>(count));
    }
    int PendingOutput() override {
        PortStatus status;
        link_->getStatus(&status);
        return static_cast<int>(status.transmitCount);
    }
    void PurgeReceive() override { link_->purgeReceive(0); }
    void PurgeTransmit() override { link_->purgeTransmit(); }
    int SetLineSpeed(long baud) override {
        const int result = line_->setLineSettings(static_cast<int>(baud), 'N', 8, 1);
        if (result != 0) return result;
        // The new line becomes the one to restore.
        line_->attach(link_.get());
        return 0;
    }
    long LineSpeed() const override { return line_->baud; }

private:
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<LineSettings> line_;
    std::unique_ptr<FlowSettings> flow_;
};

TesterLinkOpener& Opener() {
    static TesterLinkOpener opener;
    return opener;
}

}  // namespace

void SetTesterLinkOpener(TesterLinkOpener opener) { Opener() = std::move(opener); }

TesterLinkOpener InstalledTesterLinkOpener() { return Opener(); }

LinkOpenResult OpenTesterLink(int portNumber) {
    InstallTesterLink(nullptr);
    if (Opener()) {
        std::unique_ptr<TesterLink> opened;
        const LinkOpenResult result = Opener()(portNumber, &opened);
        if (result != LinkOpenResult::Ok) return result;
        if (std::ostream* trace = TesterLinkTrace()) opened = MakeTracingLink(std::move(opened), *trace);
        InstallTesterLink(std::move(opened));
        return LinkOpenResult::Ok;
    }
    auto port = CreateSerialPort(portNumber - 1, kInQueueSize, kOutQueueSize);
    auto link = std::make_unique<SerialLink>(port.get());
    LineErrorWord errors = 0;
    if (link->checkLineErrors(&errors) != 0) {
        link.reset();
        port.reset();
        return LinkOpenResult::OpenFailed;
    }
    auto line = std::make_unique<LineSettings>(link.get());
    auto flow = std::make_unique<FlowSettings>(link.get());
    if (line->setLineSettings(9600, 'N', 8, 1) != 0) {
        flow.reset();
        line.reset();
        link.reset();
        port.reset();
        return LinkOpenResult::SettingsRefused;
    }
    link->purgeReceive(0);
    std::unique_ptr<TesterLink> opened =
        std::make_unique<SerialTesterLink>(std::move(port), std::move(link), std::move(line), std::move(flow));
    if (std::ostream* trace = TesterLinkTrace()) opened = MakeTracingLink(std::move(opened), *trace);
    InstallTesterLink(std::move(opened));
    return LinkOpenResult::Ok;
}

}  // namespace zul
