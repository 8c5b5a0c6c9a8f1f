#pragma once
// Helpers the window tests share.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/messages.h"

namespace zul::gui::test {

struct Shown {
    std::string text;
    std::string caption;
    unsigned type;
};

// Answers questions from a list (OK when it runs out) and records every message.
class RecordingSink final : public MessageSink {
public:
    std::deque<int> answers;
    std::vector<Shown> shown;
    std::function<void(const Shown&)> onShow;
    int Show(std::string_view text, std::string_view caption, unsigned type) override {
        shown.push_back({std::string(text), std::string(caption), type});
        if (onShow) onShow(shown.back());
        if ((type & kMbButtonMask) == kMbOk || answers.empty()) return kIdOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The visible top-level widget of type T (the newest if several).
template <typename T>
T* FindWindow() {
    T* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t != nullptr && t->isVisible()) found = t;
    return found;
}

// Runs `act` on the first visible widget of type T as soon as it appears
// (within a few seconds), from the event loop of whatever modal dialog is open.
template <typename T>
void WhenShown(std::function<void(T*)> act, int attemptsLeft = 400) {
    QTimer::singleShot(10, [act, attemptsLeft] {
        if (T* w = FindWindow<T>()) {
            act(w);
        } else if (attemptsLeft > 0) {
            WhenShown<T>(act, attemptsLeft - 1);
        }
    });
}

}  // namespace zul::gui::test
