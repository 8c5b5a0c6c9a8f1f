#include "gui/qt/download_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QStyle>

#include "gui/qt/select_com_port_dialog.h"
#include "gui/qt/setup_instructions_dlg.h"
#include "ui/download/download_texts.h"

namespace zul::gui {
CDownloadDlg::CDownloadDlg(QWidget* owner)
    : CResizableDialog(owner),
      flow_(*this),
      listLabel_(new QLabel("&Applications:", this)),
      list_(nullptr),
      frame_(new QGroupBox(this)),
      download_(new QPushButton("&Download", this)),
      close_(new QPushButton("C&lose", this)),
      comPort_(new QPushButton("Setup &COM Port...", this)),
      icon_(new QLabel(this)),
      warning_(new QLabel("WARNING:", this)),
      screensavers_(new QLabel("Disable any screensavers before downloading!", this)),
      openComPort_(OpenSelectComPortDialog) {
    setObjectName("CDownloadDlg");
    setWindowTitle(kCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // The frame is made first so that the list and buttons lie above it.
    list_ = new CEmptyMessageListCtrl(this);
    frame_->lower();

    const std::pair<QWidget*, int> ids[] = {{list_, kIdList},           {frame_, kIdFrame},
                                            {download_, kIdDownload},   {close_, kIdClose},
                                            {comPort_, kIdSetupComPort}, {icon_, kIdWarningIcon},
                                            {warning_, kIdWarning},     {screensavers_, kIdScreensavers}};
    for (const auto& [widget, id] : ids) widget->setProperty("controlId", id);
    list_->setObjectName("applicationList");
    frame_->setObjectName("frame");
    download_->setObjectName("downloadButton");
    close_->setObjectName("closeButton");
    comPort_->setObjectName("comPortButton");
    icon_->setObjectName("warningIcon");
    warning_->setObjectName("warningLabel");
    screensavers_->setObjectName("screensaverLabel");
    listLabel_->setObjectName("listLabel");
    listLabel_->setBuddy(list_);

    // Report view, one full row selected at a time, selection shown even
    // without focus, headers that do not sort.
    list_->setColumnCount(2);
    list_->setHeaderLabels({"Application Name", "Version"});
    list_->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    list_->headerItem()->setTextAlignment(1, Qt::AlignCenter);
    list_->header()->setSectionsClickable(false);
    list_->header()->setSectionsMovable(false);
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, 260);
    list_->setColumnWidth(1, 70);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setSortingEnabled(false);  // the flow hands the rows over sorted
    list_->setFrameShape(QFrame::StyledPanel);
    list_->showEmptyMessage = 1;
    list_->SetEmptyMessage(kNoApplications);
    QPalette keep = list_->palette();
    keep.setColor(QPalette::Inactive, QPalette::Highlight, keep.color(QPalette::Active, QPalette::Highlight));
    keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  keep.color(QPalette::Active, QPalette::HighlightedText));
    list_->setPalette(keep);

    download_->setDefault(true);
    download_->setEnabled(false);
    close_->setAutoDefault(false);
    comPort_->setAutoDefault(false);
    icon_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    warning_->setTextFormat(Qt::PlainText);
    screensavers_->setTextFormat(Qt::PlainText);

    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CDownloadDlg::OnSelectionChanged);
    connect(download_, &QPushButton::clicked, this, &CDownloadDlg::OnDownload);
    connect(close_, &QPushButton::clicked, this, &CDownloadDlg::reject);
    connect(comPort_, &QPushButton::clicked, this, [this] {
        if (openComPort_ && !downloading_) openComPort_(this);
    });

    setTabOrder(list_, download_);
    setTabOrder(download_, close_);
    setTabOrder(close_, comPort_);
    PlaceControls();
    // The list and its frame take up what the user adds; the buttons, the
    // icon and the warning keep to the bottom edge.
    InitDialog();
    SetResizable(true, true);
    AddControl(kIdList, list_, EdgeMode::Stretch, EdgeMode::Stretch, true);
    AddControl(kIdFrame, frame_, EdgeMode::Stretch, EdgeMode::Stretch);
    AddControl(kIdDownload, download_, EdgeMode::Stay, EdgeMode::Move);
    AddControl(kIdClose, close_, EdgeMode::Stay, EdgeMode::Move);
    AddControl(kIdSetupComPort, comPort_, EdgeMode::Stay, EdgeMode::Move);
    AddControl(kIdWarningIcon, icon_, EdgeMode::Stay, EdgeMode::Move, true);
    AddControl(kIdWarning, warning_, EdgeMode::Stay, EdgeMode::Move, true);
    AddControl(kIdScreensavers, screensavers_, EdgeMode::Stay, EdgeMode::Move, true);
    list_->setFocus();
}

CDownloadDlg::~CDownloadDlg() = default;

QWidget* CDownloadDlg::control(int id) const {
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w->property("controlId").toInt() == id) return w;
    return nullptr;
}

// The designed layout, in the dialog's own coordinates, measured from the
// font so that no text is cut off.
void CDownloadDlg::PlaceControls() {
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const int listWidth = 260 + 70 + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 80;
    const QSize label = listLabel_->sizeHint();
    listLabel_->setGeometry(20, 18, label.width(), label.height());
    const int listTop = 18 + label.height() + 4;
    list_->setGeometry(20, listTop, listWidth, 9 * line + 24);

    int buttonHeight = 0;
    for (QPushButton* b : {download_, close_, comPort_}) buttonHeight = std::max(buttonHeight, b->sizeHint().height());
    const int buttonsTop = list_->geometry().bottom() + 1 + 10;
    int x = 20;
    for (QPushButton* b : {download_, close_, comPort_}) {
        const int width = std::max(b->sizeHint().width(), 96);
        b->setGeometry(x, buttonsTop, width, buttonHeight);
        x += width + 8;
    }
    const int frameRight = std::max(list_->geometry().right(), comPort_->geometry().right()) + 12;
    const int frameBottom = buttonsTop + buttonHeight + 12;
    frame_->setGeometry(8, 6, frameRight - 8 + 1, frameBottom - 6);

    const int warnTop = frameBottom + 10;
    icon_->setGeometry(16, warnTop, 32, 32);
    const QSize warning = warning_->sizeHint();
    const QSize screensavers = screensavers_->sizeHint();
    warning_->setGeometry(58, warnTop, warning.width(), warning.height());
    screensavers_->setGeometry(58, warnTop + warning.height() + 2, screensavers.width(), screensavers.height());
    const int width = std::max(frameRight + 9, screensavers_->geometry().right() + 16);
    const int height = std::max(icon_->geometry().bottom(), screensavers_->geometry().bottom()) + 18;
    resize(width, height);
}

bool CDownloadDlg::Initialise() {
    QWidget* over = parentWidget();
    {
        CSetupInstructionsDlg instructions(over);
        if (over != nullptr) instructions.setWindowModality(Qt::WindowModal);
        if (instructions.exec() != QDialog::Accepted) return false;
    }
    const bool ziz2 = flow_.Open();
    FillList();
    return ziz2;
}

int CDownloadDlg::Run() {
    if (!Initialise()) return QDialog::Rejected;
    if (parentWidget() != nullptr) setWindowModality(Qt::WindowModal);
    return exec();
}

void CDownloadDlg::FillList() {
    filling_ = true;
    list_->clear();
    flow_.FillList();
    for (const DownloadFlow::Row& row : flow_.rows()) {
        auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(row.name), QString::fromStdString(row.version)});
        item->setTextAlignment(1, Qt::AlignCenter);
        item->setData(0, Qt::UserRole, row.index);
    }
    if (list_->topLevelItemCount() > 0) {
        list_->resizeColumnToContents(0);
        list_->resizeColumnToContents(1);
    }
    filling_ = false;
    OnSelectionChanged();
}

void CDownloadDlg::OnSelectionChanged() {
    if (filling_) return;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        flow_.SetSelected(static_cast<std::size_t>(i), list_->topLevelItem(i)->isSelected());
    download_->setEnabled(!downloading_ && flow_.DownloadEnabled());
}

void CDownloadDlg::OnDownload() {
    if (downloading_ || !flow_.DownloadEnabled()) return;
    if (flow_.Download() == DownloadOutcome::kCompleted) {
        list_->clearSelection();
        OnSelectionChanged();
    }
}

// Close, Escape and the close box end the dialog, except during a download.
void CDownloadDlg::reject() {
    if (downloading_) return;
    QDialog::reject();
}

void CDownloadDlg::closeEvent(QCloseEvent* event) {
    if (downloading_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CDownloadDlg::ShowStatusWindow(std::string_view text) {
    const std::string copy(text);
    QWidget* over = isVisible() ? this : parentWidget();
    status_ = std::make_unique<CStatusDlg>(copy.c_str(), over);
}

void CDownloadDlg::CloseStatusWindow() { status_.reset(); }

DownloadProgress& CDownloadDlg::OpenProgress(std::string_view caption) {
    const std::string copy(caption);
    working_ = std::make_unique<CWorkingDlg>(&DownloadCancelFlag, this, copy.c_str(), nullptr);
    emit progressOpened(working_.get());
    return *working_;
}

void CDownloadDlg::CloseProgress() {
    working_.reset();
    activateWindow();
}

// Only the progress dialog's Cancel stays active during a download: every
// control of this dialog is disabled, and Escape and the close box do
// nothing. (Disabling the dialog itself would disable the progress dialog,
// which is its child.)
void CDownloadDlg::SetDialogEnabled(bool enabled) {
    downloading_ = !enabled;
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->isWindow() && w != download_) w->setEnabled(enabled);
    download_->setEnabled(enabled && flow_.DownloadEnabled());
    if (enabled) list_->setFocus();
}

void OpenDownloadDialog(QWidget* owner) {
    CDownloadDlg dialog(owner);
    dialog.Run();
}

}  // namespace zul::gui
