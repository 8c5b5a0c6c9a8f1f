#include "gui/qt/gui_seams.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <vector>

#include "ui/ports/device_map.h"

namespace zul::gui {
namespace {

QPointer<QWidget> g_mainWindow;

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QtMessagePump::QtMessagePump() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->installEventFilter(this);
}

QtMessagePump::~QtMessagePump() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
}

bool QtMessagePump::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) quitSeen_ = true;
    return false;
}

// Qt cannot look into its queue without taking from it, so "pending" means:
// the last dispatch round found something to do. A round handles everything
// that was waiting; a bounded number of rounds keeps a busy queue (a timer
// that always fires) from holding the operation up.
bool QtMessagePump::HasPendingMessage() { return !drained_; }

bool QtMessagePump::DispatchOne() {
    QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
    const bool any = dispatcher != nullptr && dispatcher->processEvents(QEventLoop::AllEvents);
    drained_ = !any || ++rounds_ >= 16;
    if (quitSeen_) {
        quitSeen_ = false;
        return false;
    }
    return true;
}

bool QtMessagePump::Idle(long) {
    drained_ = false;
    rounds_ = 0;
    return false;
}

void QtMessagePump::PostQuit() {
    drained_ = false;
    rounds_ = 0;
    // Nothing to put back: handling the quit has already told every running
    // event loop, the main loop included, to end as soon as control returns
    // to it. A quit event posted again would end the next loop entered (a
    // dialog's) instead.
}

QWidget* MessageOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return g_mainWindow.data();
}

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & kMbIconMask) {
        case kMbIconError: icon = QMessageBox::Critical; break;
        case kMbIconQuestion: icon = QMessageBox::Question; break;
        case kMbIconWarning: icon = QMessageBox::Warning; break;
        case kMbIconInformation: icon = QMessageBox::Information; break;
        default: break;
    }
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    struct Button {
        QMessageBox::StandardButton button;
        int id;
    };
    std::vector<Button> buttons;
    switch (type & kMbButtonMask) {
        case 0x01: buttons = {{QMessageBox::Ok, kIdOk}, {QMessageBox::Cancel, kIdCancel}}; break;
        case 0x02: buttons = {{QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}}; break;
        case 0x03:
            buttons = {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}, {QMessageBox::Cancel, kIdCancel}};
            break;
        case 0x04: buttons = {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}}; break;
        case 0x05: buttons = {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, kIdCancel}}; break;
        default: buttons = {{QMessageBox::Ok, kIdOk}}; break;
    }
    for (const Button& b : buttons) box.addButton(b.button);
    // The first button is the default, as on the platform the messages come from.
    box.setDefaultButton(buttons.front().button);
    // Over its owner only, so that other top-level windows (the splash) still
    // take input.
    if (owner != nullptr) box.setWindowModality(Qt::WindowModal);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    for (const Button& b : buttons)
        if (clicked != nullptr && clicked == box.button(b.button)) return b.id;
    return DefaultAnswer(type);
}

int QtMessageSink::Show(std::string_view text, std::string_view caption, unsigned type) {
    return ShowMessageBox(MessageOwner(), FromView(text), FromView(caption), type);
}

std::string WindowTitle::GetTitle() {
    return g_mainWindow ? g_mainWindow->windowTitle().toStdString() : std::string();
}

void WindowTitle::SetTitle(std::string_view title) {
    if (g_mainWindow) g_mainWindow->setWindowTitle(FromView(title));
}

namespace {

FrontEnd WithSink(MessageSink* sink) {
    FrontEnd frontEnd;
    frontEnd.messageSink = sink;
    return frontEnd;
}

}  // namespace

GuiSeams::GuiSeams(MessageSink* sink) : GuiSeams(WithSink(sink)) {}

GuiSeams::GuiSeams(FrontEnd frontEnd) : scope_(Filled(std::move(frontEnd))) {}

FrontEnd GuiSeams::Filled(FrontEnd frontEnd) {
    if (frontEnd.messagePump == nullptr) frontEnd.messagePump = &pump_;
    if (frontEnd.messageSink == nullptr) frontEnd.messageSink = &sink_;
    if (frontEnd.mainWindowTitle == nullptr) frontEnd.mainWindowTitle = &title_;
    if (frontEnd.deviceMap == nullptr) frontEnd.deviceMap = &SettingsDeviceForComNumber;
    return frontEnd;
}

GuiSeams::~GuiSeams() { g_mainWindow = nullptr; }

void GuiSeams::SetMainWindow(QWidget* window) { g_mainWindow = window; }

QWidget* GuiSeams::MainWindow() { return g_mainWindow.data(); }

}  // namespace zul::gui
