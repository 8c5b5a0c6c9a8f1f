#pragma once
// The responsive wait. All serial work runs on the user-interface thread and
// keeps windows alive by dispatching pending messages between bytes and
// blocks. The core knows no toolkit: the front end installs a MessagePump
// (the GUI dispatches its event queue; the command line has nothing to pump).
namespace zul {

class MessagePump {
public:
    virtual ~MessagePump() = default;
    // True when a message waits in the queue (not removed).
    virtual bool HasPendingMessage() = 0;
    // Fetches and dispatches one message; false when it was the quit request.
    virtual bool DispatchOne() = 0;
    // One step of idle processing; true while more idle work is pending.
    virtual bool Idle(long count) = 0;
    // Puts a quit request back into the queue so the main loop still ends.
    virtual void PostQuit() = 0;
};

// Installs `pump` (nullptr: a pump with nothing to do).
void SetMessagePump(MessagePump* pump);
// The pump installed, nullptr for the default.
MessagePump* InstalledMessagePump();
MessagePump& CurrentMessagePump();

// Dispatches every pending message. Returns 0 at once when the quit request
// was dispatched (after posting it again), 1 after the idle steps otherwise.
int PumpPendingMessages();

// Waits `milliseconds` in slices of at most 50 ms, pumping after each slice.
// Returns at once for 0 or a negative time.
void WaitWithMessages(int milliseconds);

}  // namespace zul
