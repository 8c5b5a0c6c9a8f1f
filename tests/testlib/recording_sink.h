#pragma once
// A message sink for tests: records every message and answers questions from
// a list.
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/messages.h"

namespace zul::test {

struct Shown {
    std::string text;
    std::string caption;
    unsigned type;
};

class RecordingSink final : public MessageSink {
public:
    int Show(std::string_view text, std::string_view caption, unsigned type) override {
        shown.push_back({std::string(text), std::string(caption), type});
        if (onShow) onShow(shown.back());
        if ((type & kMbButtonMask) == kMbOk) return kIdOk;
        if (answers.empty()) return unanswered;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<int> answers;  // for questions, in order
    int unanswered = kIdOk;   // for questions once `answers` has run out
    std::function<void(const Shown&)> onShow;
    std::vector<Shown> shown;
};

}  // namespace zul::test
