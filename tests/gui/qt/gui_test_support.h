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

#include "host/messages.h"
#include "testlib/recording_sink.h"

namespace zul::gui::test {

using zul::test::RecordingSink;
using zul::test::Shown;

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
