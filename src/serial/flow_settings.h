#pragma once
#include "serial/serial_port.h"

namespace zul {

class SerialLink;

// Flow control bound to a link: remembers the port's flow types when bound and
// puts them back when destroyed.
class FlowSettings {
public:
    int savedInFlow = 0;
    int savedOutFlow = 0;
    int inFlow = 0;
    int outFlow = 0;
    SignalRecord signals;
    SerialPort* port = nullptr;  // not owned

    // Binds to the link's port: reads its signals and its current flow types
    // (saved and wanted). A link without a port leaves the object unbound.
    explicit FlowSettings(SerialLink* link);
    // restoreFlow when bound.
    ~FlowSettings();
    FlowSettings(const FlowSettings&) = delete;
    FlowSettings& operator=(const FlowSettings&) = delete;

    // Stores the wanted types and applies them: the port's setFlowControl
    // result (-801 when unbound).
    int setFlow(int newInFlow, int newOutFlow);
    // setFlow with the saved types.
    int restoreFlow();
    // The port's readSignals into `signals`: 0, or -801 when unbound.
    int refreshSignals();
    void dump(const TextSink& sink) const;
};

}  // namespace zul
