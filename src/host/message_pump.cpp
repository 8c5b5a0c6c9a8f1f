#include "host/message_pump.h"

#include <algorithm>

#include "support/clock.h"

namespace zul {
namespace {

class NullPump final : public MessagePump {
public:
    bool HasPendingMessage() override { return false; }
    bool DispatchOne() override { return true; }
    bool Idle(long) override { return false; }
    void PostQuit() override {}
};

NullPump g_nullPump;
MessagePump* g_pump = nullptr;

}  // namespace

void SetMessagePump(MessagePump* pump) { g_pump = pump; }

MessagePump* InstalledMessagePump() { return g_pump; }

MessagePump& CurrentMessagePump() { return g_pump ? *g_pump : g_nullPump; }

int PumpPendingMessages() {
    MessagePump& pump = CurrentMessagePump();
    while (pump.HasPendingMessage()) {
        if (!pump.DispatchOne()) {
            pump.PostQuit();
            return 0;
        }
    }
    long count = 0;
    while (pump.Idle(count++)) {
    }
    return 1;
}

void WaitWithMessages(int milliseconds) {
    for (int remaining = milliseconds; remaining > 0; remaining -= 50) {
        CurrentClock().Sleep(static_cast<unsigned>(std::min(remaining, 50)));
        PumpPendingMessages();
    }
}

}  // namespace zul
