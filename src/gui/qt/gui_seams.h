#pragma once
// What the window program plugs into the core: a message pump over Qt's event
// queue, message boxes, the main window's title, and the settings file's
// device map for the serial ports. GuiSeams fills a FrontEnd with them and
// installs it for its lifetime, so a test can set up and tear down a whole
// front end in one scope.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "host/message_pump.h"
#include "host/messages.h"
#include "ui/download/download_progress.h"
#include "ui/front_end.h"

namespace zul::gui {

// Dispatches Qt's pending events between blocks of serial work. A quit
// request seen while dispatching is reported, so that the running operation
// finishes and the main loop then ends.
class QtMessagePump final : public QObject, public MessagePump {
public:
    QtMessagePump();
    ~QtMessagePump() override;
    bool HasPendingMessage() override;
    bool DispatchOne() override;
    bool Idle(long count) override;
    void PostQuit() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool drained_ = false;
    bool quitSeen_ = false;
    int rounds_ = 0;
};

// The window that owns a message box or a status window: the open modal
// dialog, else the active window, else the main window (may be null).
QWidget* MessageOwner();

// A message box of the Windows types the core uses (kMbOkCancel |
// kMbIconQuestion and so on), owned by `owner`; returns the button pressed
// (kIdOk, kIdCancel, kIdYes, ...).
int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type);

class QtMessageSink final : public MessageSink {
public:
    int Show(std::string_view text, std::string_view caption, unsigned type) override;
};

// The main window's title, for the download engine's progress in the title.
class WindowTitle final : public MainWindowTitle {
public:
    std::string GetTitle() override;
    void SetTitle(std::string_view title) override;
};

class GuiSeams {
public:
    // `sink` replaces the message boxes (tests answer them); null shows them.
    explicit GuiSeams(MessageSink* sink = nullptr);
    // `frontEnd` as given, with the window program's own pump, message
    // boxes, title and device map in whichever of those it leaves empty (a
    // test or a benchmark adds its clock or its stand-in tester this way).
    explicit GuiSeams(FrontEnd frontEnd);
    ~GuiSeams();
    GuiSeams(const GuiSeams&) = delete;
    GuiSeams& operator=(const GuiSeams&) = delete;

    // The window that owns messages when nothing else is active, and whose
    // title the core sets.
    static void SetMainWindow(QWidget* window);
    static QWidget* MainWindow();

private:
    FrontEnd Filled(FrontEnd frontEnd);

    QtMessagePump pump_;
    QtMessageSink sink_;
    WindowTitle title_;
    FrontEndScope scope_;
};

}  // namespace zul::gui
