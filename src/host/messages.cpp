#include "host/messages.h"

#include <cstdio>

namespace zul {
namespace {

struct StringEntry {
    int id;
    const char* text;
};

const StringEntry kStringTable[] = {
    {kIdsAppTitle, "ZUL for KVR 7700"},
    {kIdsError, "Error"},
    {kIdsComTestQuestion, "Are you sure you want to run the COM port test?"},
    {kIdsComTestAdapter,
     "Install Test Adapter.\n\nThe COM port test requires that the self-test adapter be attached to the COM "
     "port.\n\nPress OK when ready."},
    {kIdsComTestPassed, "TEST PASSED\n\nRemember to remove the self-test adapter."},
    {kIdsComTestFailed, "** TEST FAILED ** \n\nCheck self-test adapter connection and COM port selection."},
    {kIdsComTestCaption, "COM Port Test"},
    {kIdsSetup, "Setup"},
    {kIdsSuccess, "Success"},
};

class StderrSink final : public MessageSink {
public:
    int Show(std::string_view text, std::string_view caption, unsigned type) override {
        std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        return DefaultAnswer(type);
    }
};

StderrSink g_stderrSink;
MessageSink* g_sink = nullptr;

}  // namespace

std::string LoadResourceString(int id) {
    for (const auto& entry : kStringTable)
        if (entry.id == id) return entry.text;
    return std::string();
}

void SetMessageSink(MessageSink* sink) { g_sink = sink; }

MessageSink* InstalledMessageSink() { return g_sink; }

MessageSink& CurrentMessageSink() { return g_sink ? *g_sink : g_stderrSink; }

int ShowMessage(std::string_view text, std::string_view caption, unsigned type) {
    return CurrentMessageSink().Show(text, caption, type);
}

int ShowResourceMessage(int textId, int captionId, unsigned type) {
    return ShowMessage(LoadResourceString(textId), LoadResourceString(captionId), type);
}

int DefaultAnswer(unsigned type) {
    switch (type & kMbButtonMask) {
        case kMbOk: return kIdOk;
        case kMbYesNo: return kIdNo;
        default: return kIdCancel;
    }
}

}  // namespace zul
