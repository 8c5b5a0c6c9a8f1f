#include "gui/qt/setup_directory_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "host/startup.h"
#include "gui/qt/folder_dialog.h"
#include "ui/directory/setup_directory.h"

namespace zul::gui {

CSetupDirDialog::CSetupDirDialog(SettingsStore settings, HistoryStore& history, QWidget* owner)
    : QDialog(owner), settings_(std::move(settings)), directory_(nullptr) {
    setObjectName("CSetupDirDialog");
    setWindowTitle(kSetupDirectoryCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* group = new QGroupBox("&Application Directory", this);
    group->setObjectName("group");
    directory_ = new CHistoryComboBox(history, group);
    directory_->setObjectName("directory");
    directory_->setMinimumContentsLength(48);
    directory_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    directory_->lineEdit()->setMaxLength(static_cast<int>(kMaxDirectoryText));
    auto* browse = new QPushButton("...", group);
    browse->setObjectName("browse");
    browse->setAutoDefault(false);
    browse->setToolTip("Browse for the folder");
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("...") + 24);
    auto* row = new QHBoxLayout(group);
    row->addWidget(directory_, 1);
    row->addWidget(browse);

    auto* ok = new QPushButton("&OK", this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    auto* cancel = new QPushButton("&Cancel", this);
    cancel->setObjectName("cancel");
    cancel->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);
    setTabOrder(directory_, browse);
    setTabOrder(browse, ok);
    setTabOrder(ok, cancel);

    connect(ok, &QPushButton::clicked, this, &CSetupDirDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &CSetupDirDialog::OnBrowse);

    const std::string current = OpenSetupDirectory(settings_, directory_->history());
    directory_->Refresh();
    directory_->setEditText(QString::fromStdString(current));
    directory_->setFocus();
    directory_->lineEdit()->selectAll();
    setFixedHeight(sizeHint().height());
}

void CSetupDirDialog::OnBrowse() {
    CFolderDialog picker(directory_->currentText(), kSetupDirectoryFilter, this);
    if (picker.exec() != QDialog::Accepted) return;
    const std::string folder = ReturnedFolderText(NativePathStyle(), picker.selectedFolder().toStdString());
    directory_->setEditText(QString::fromStdString(folder));
    directory_->setFocus();
}

void CSetupDirDialog::accept() {
    ConfirmSetupDirectory(settings_, directory_->history(), directory_->currentText().toStdString());
    directory_->Refresh();
    QDialog::accept();
}

void OpenSetupDirectoryDialog(QWidget* owner) {
    ProfileHistoryStore history;
    CSetupDirDialog dialog(SettingsStore(SettingsFilePath()), history, owner);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

}  // namespace zul::gui
