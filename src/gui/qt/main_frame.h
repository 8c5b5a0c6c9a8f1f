#pragma once
// The main window: menu, accelerators, status bar with the lock-key panes, an
// empty client area, and the one-shot timer that opens the download dialog
// half a second after the window is made.
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <functional>

namespace zul::gui {

// Command numbers, kept on each action (QAction::data) so that tests and
// readers find the entries of the menu tables.
enum Command : int {
    kCmdSetupDirectory = 32771,
    kCmdSetupComPort = 32772,
    kCmdTestComPort = 32773,
    kCmdDownload = 32774,
    kCmdDownloadMsc = 32776,
    kCmdHelpContents = 32777,
    kCmdAbout = 57664,
    kCmdExit = 57665,
};

inline constexpr const char* kAppTitle = "ZUL for KVR 7700";
inline constexpr int kStartupTimerMs = 500;

// The state of the Caps, Num and Scroll Lock keys as the platform reports it
// with a key event (the native modifiers of "xcb" and "windows"); a lock the
// platform does not tell about is reported off.
struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};
LockKeys LockKeysFromNative(const QString& platformName, quint32 nativeModifiers);

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    QAction* action(Command command) const;
    QTimer& startupTimer() { return startupTimer_; }
    QLabel* messagePane() const { return ready_; }
    QLabel* lockPane(int index) const { return locks_[index]; }
    void ShowLockKeys(const LockKeys& keys);

    // What the Download command opens (the download dialog; tests count).
    void setDownloadDialog(std::function<void(QWidget*)> open) { openDownload_ = std::move(open); }

    // Another start asked this copy to come forward: restore the window when
    // minimised and raise the open dialog, if any, else the window itself.
    void ActivateFromAnotherStart();

public slots:
    void OnSetupDirectory();
    void OnSetupComPort();
    void OnTestComPort();
    void OnDownload();
    void OnAbout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddCommand(QWidget* menu, const char* text, Command command, const char* prompt);
    // Serial work pumps events while it runs, so a command could start in the
    // middle of it; the window answers none until the work is done, as if
    // it were disabled.
    bool Busy() const { return serialWorkRunning_; }

    bool serialWorkRunning_ = false;

    QTimer startupTimer_;
    QLabel* ready_ = nullptr;
    QLabel* locks_[3] = {};
    std::function<void(QWidget*)> openDownload_;
};

}  // namespace zul::gui
