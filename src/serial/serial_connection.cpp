#include "serial/serial_connection.h"

namespace zul {

int SerialConnection::open(int comNumber) {
    close();
    port_ = CreateSerialPort(comNumber - 1, kInQueueSize, kOutQueueSize);
    link_ = std::make_unique<SerialLink>(port_.get());
    LineErrorWord word = 0;
    const int pending = link_->checkLineErrors(&word);
    if (pending != 0) {
        close();
        return pending;
    }
    line_ = std::make_unique<LineSettings>(link_.get());
    flow_ = std::make_unique<FlowSettings>(link_.get());
    if (line_->setLineSettings(9600, 'N', 8, 1) != 0) {
        close();
        return SL_ERROR;
    }
    link_->purgeReceive(0);
    return 0;
}

void SerialConnection::close() {
    flow_.reset();
    line_.reset();
    link_.reset();
    port_.reset();
}

}  // namespace zul
