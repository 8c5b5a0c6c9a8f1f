#pragma once
// The small status window shown during short waits: caption "Status", one
// centred line, no way for the user to close it. It is visible and painted as
// soon as it is constructed, although no event loop runs while the work goes on.
#include <QDialog>
#include <QLabel>
#include <QPointer>

#include <memory>

#include "ui/ports/com_port_selection.h"

namespace zul::gui {

class CStatusDlg : public QDialog {
    Q_OBJECT
public:
    inline static const char* const kDefaultText = "One moment please...";

    // A null `text` shows "One moment please...". Centred on `owner` when it
    // is visible and not minimised, else on the screen.
    CStatusDlg(const char* text, QWidget* owner);
    ~CStatusDlg() override;
    // Hides and destroys the window; harmless when done already.
    void Close();
    QString text() const { return label_->text(); }
    // True once the window has been painted.
    bool painted() const { return painted_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* label_;
    bool closed_ = false;
    bool painted_ = false;
};

// The core's status window for the COM port test: a CStatusDlg from Open to Close.
class StatusDlgWindow final : public StatusWindow {
public:
    explicit StatusDlgWindow(QWidget* owner) : owner_(owner) {}
    void Open(std::string_view text) override;
    void Close() override;
    CStatusDlg* dialog() const { return dialog_.get(); }

private:
    QPointer<QWidget> owner_;
    std::unique_ptr<CStatusDlg> dialog_;
};

}  // namespace zul::gui
