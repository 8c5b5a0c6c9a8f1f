#pragma once

class QWidget;

namespace zul::gui {

// Shows a modeless window centred over its owner's window (over the screen
// when the owner is hidden, minimised or absent) and paints it before
// returning: the serial work that follows may not return to the event loop
// for a while. The window system gets a bounded moment (200 ms) to map the
// window; after that it is painted as far as it can be.
void ShowAndPaintNow(QWidget& window, const QWidget* owner);

}  // namespace zul::gui
