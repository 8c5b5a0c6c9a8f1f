#include "gui/qt/working_dlg.h"

#include "gui/qt/paint_now.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "gui/qt/gui_seams.h"

namespace zul::gui {

CWorkingDlg::CWorkingDlg(std::atomic<int>* cancelFlag, QWidget* owner, const char* caption, const char* statusText)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      cancelFlag_(cancelFlag),
      status_(new QLabel(this)),
      currentBar_(new QProgressBar(this)),
      currentText_(new QLabel(this)),
      totalBar_(new QProgressBar(this)),
      totalText_(new QLabel(this)),
      cancel_(new QPushButton("&Cancel", this)) {
    setObjectName("CWorkingDlg");
    setModal(false);
    setWindowTitle(QString::fromUtf8(caption != nullptr ? caption : kDefaultCaption));
    status_->setObjectName("statusLine");
    status_->setText(QString::fromUtf8(statusText != nullptr ? statusText : kDefaultStatus));
    status_->setAlignment(Qt::AlignCenter);
    status_->setTextFormat(Qt::PlainText);
    for (QProgressBar* bar : {currentBar_, totalBar_}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    currentBar_->setObjectName("currentBar");
    totalBar_->setObjectName("totalBar");
    currentText_->setObjectName("currentLine");
    totalText_->setObjectName("totalLine");
    cancel_->setObjectName("cancelButton");
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CWorkingDlg::reject);

    // Room for the longest lines these labels ever show.
    const QFontMetrics metrics(font());
    const int lineWidth = metrics.horizontalAdvance("Total download: 100% Complete") + 8;
    currentText_->setMinimumWidth(lineWidth);
    totalText_->setMinimumWidth(lineWidth);
    status_->setMinimumWidth(metrics.horizontalAdvance("Establishing communications with the tester...") + 16);
    status_->setMinimumHeight(metrics.height() + 4);
    currentText_->setMinimumHeight(metrics.height() + 2);
    totalText_->setMinimumHeight(metrics.height() + 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(4);
    layout->addWidget(status_);
    layout->addSpacing(8);
    layout->addWidget(currentBar_);
    layout->addWidget(currentText_);
    layout->addSpacing(8);
    layout->addWidget(totalBar_);
    layout->addWidget(totalText_);
    layout->addSpacing(10);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(380);
    adjustSize();
    setFixedSize(size());

    ShowAndPaintNow(*this, owner);
    activateWindow();
    cancel_->setFocus();
}

CWorkingDlg::~CWorkingDlg() { Close(); }

void CWorkingDlg::Close() {
    if (closed_) return;
    closed_ = true;
    hide();
}

void CWorkingDlg::SetStatusText(std::string_view text) {
    if (closed_) return;
    status_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void CWorkingDlg::SetPercent(QProgressBar* bar, QLabel* line, const char* format, int percent) {
    if (closed_) return;
    percent = std::clamp(percent, 0, 100);
    bar->setValue(percent);
    char text[52];
    std::snprintf(text, sizeof text, format, percent);
    const QString wanted = QString::fromLatin1(text);
    if (line->text() != wanted) {
        line->setText(wanted);
        ++lineWrites_;
    }
}

void CWorkingDlg::SetCurrentPercent(int percent) {
    SetPercent(currentBar_, currentText_, "Current file: %d%% Complete", percent);
}

void CWorkingDlg::SetTotalPercent(int percent) {
    const int before = totalBar_->value();
    SetPercent(totalBar_, totalText_, "Total download: %d%% Complete", percent);
    if (!closed_ && totalBar_->value() != before) emit totalChanged(totalBar_->value());
}

// Cancel and Escape: only the request; the dialog stays until the download
// has stopped.
void CWorkingDlg::reject() {
    if (cancelFlag_ != nullptr) cancelFlag_->store(1);
}

void CWorkingDlg::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    event->ignore();
    reject();
}

// Minimised, the whole program goes to the task bar with it; restored, the
// main window comes back (still blocked by the modal download dialog).
void CWorkingDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    QWidget* main = GuiSeams::MainWindow();
    if (isMinimized()) {
        wasMinimized_ = true;
        if (main != nullptr) main->showMinimized();
    } else if (wasMinimized_) {
        wasMinimized_ = false;
        if (main != nullptr) main->showNormal();
        setEnabled(true);
    }
}

}  // namespace zul::gui
