#include "gui/qt/status_dlg.h"

#include "gui/qt/paint_now.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace zul::gui {

CStatusDlg::CStatusDlg(const char* text, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), label_(new QLabel(this)) {
    setObjectName("CStatusDlg");
    setWindowTitle("Status");
    setModal(false);
    label_->setObjectName("statusText");
    label_->setText(QString::fromUtf8(text != nullptr ? text : kDefaultText));
    label_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(label_);
    setMinimumWidth(280);
    adjustSize();

    ShowAndPaintNow(*this, owner);
}

CStatusDlg::~CStatusDlg() { Close(); }

void CStatusDlg::Close() {
    if (closed_) return;
    closed_ = true;
    hide();
}

// The user cannot close it: neither the window's close request nor Escape.
void CStatusDlg::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CStatusDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CStatusDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    painted_ = true;
}

void StatusDlgWindow::Open(std::string_view text) {
    const std::string copy(text);
    dialog_ = std::make_unique<CStatusDlg>(copy.c_str(), owner_.data());
}

void StatusDlgWindow::Close() { dialog_.reset(); }

}  // namespace zul::gui
