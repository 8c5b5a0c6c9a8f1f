#pragma once
// The start-up picture. It lives on the GUI thread (Qt widgets cannot have a
// thread of their own) and behaves as a splash with its own thread would:
// shown at once, above everything, for at least the display time and then
// until the main window exists; the first key or mouse press closes it and
// does nothing else. Start-up never waits for it.
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace zul::gui {

// The timing, without a window: the first check after the display time, then
// again every 100 ms until the main window exists.
class SplashSchedule {
public:
    static constexpr int kDisplayMs = 2000;
    static constexpr int kRecheckMs = 100;

    int FirstDelay() const { return kDisplayMs; }
    // When the timer fires: 0 to close now, else the delay to the next check.
    int OnTimer(bool mainWindowExists) const { return mainWindowExists ? 0 : kRecheckMs; }
};

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` tells whether the main window exists yet (and which it is).
    explicit CSplashWnd(std::function<QWidget*()> mainWindow);
    ~CSplashWnd() override;

    // The display timer; a test drives it by calling OnTimer itself.
    QTimer& timer() { return timer_; }
    void OnTimer();
    // Closes the splash once; later calls do nothing.
    void CloseSplash();
    bool closing() const { return closing_; }

    // Shows the splash unless one was shown before in this process.
    static CSplashWnd* ShowOnce(std::function<QWidget*()> mainWindow);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<QWidget*()> mainWindow_;
    QImage picture_;
    QTimer timer_;
    SplashSchedule schedule_;
    bool closing_ = false;
    int swallowKey_ = 0;  // the key that closed the splash, until released
};

}  // namespace zul::gui
