#include "gui/qt/folder_dialog.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/qt/edit_text.h"

namespace zul::gui {

void FolderEdit::keyPressEvent(QKeyEvent* event) {
    if (!picker) return QLineEdit::keyPressEvent(event);
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter belongs to the edit, not to the dialog's default button.
        picker->SetEdit(ReadEdit(*this));
        picker->Enter();
        emit changedByRules();
        return;
    }
    QLineEdit::keyPressEvent(event);
    const EditText after = ReadEdit(*this);
    const QString typed = event->text();
    if (key == Qt::Key_Delete) {
        picker->Deleted(after);
    } else if (key == Qt::Key_Backspace) {
        picker->Typed(kBackspace, after);
    } else if (typed.size() == 1 && typed[0].isPrint() && !(event->modifiers() & Qt::ControlModifier)) {
        const std::string bytes = typed.toStdString();
        picker->Typed(bytes.size() == 1 ? bytes[0] : '\x01', after);
    } else {
        picker->SetEdit(after);
        return;
    }
    emit changedByRules();
}

CFolderDialog::CFolderDialog(const QString& initialFolder, const QString& filter, QWidget* owner,
                             FolderFileSystem* fs, FolderPrompts* prompts)
    : QDialog(owner),
      picker_(
          [&] {
              FolderPlace place;
              place.fs = fs ? fs : &RealFolderFileSystem();
              place.prompts = prompts ? prompts : &messagePrompts_;
              place.home = QDir::toNativeSeparators(QDir::homePath()).toStdString();
              return place;
          }(),
          filter.toStdString()),
      lookIn_(new QLabel(this)),
      up_(new QToolButton(this)),
      list_(new QListWidget(this)),
      edit_(new FolderEdit(this)),
      select_(new QPushButton(kSelectButton, this)),
      types_(new QComboBox(this)),
      cancel_(new QPushButton("Cancel", this)) {
    setObjectName("CFolderDialog");
    setWindowTitle(kFolderPickerTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* lookInLabel = new QLabel("Look &in:", this);
    lookInLabel->setBuddy(list_);
    lookIn_->setObjectName("lookIn");
    lookIn_->setTextFormat(Qt::PlainText);
    lookIn_->setFrameShape(QFrame::StyledPanel);
    lookIn_->setMinimumWidth(360);
    up_->setObjectName("up");
    up_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up_->setToolTip("Up One Level");
    up_->setAutoRaise(true);

    list_->setObjectName("folderView");
    list_->setViewMode(QListView::ListMode);
    list_->setMinimumSize(540, 240);

    auto* folderLabel = new QLabel(kFolderEditLabel, this);
    folderLabel->setBuddy(edit_);
    edit_->setObjectName("folderEdit");
    edit_->picker = &picker_;
    select_->setObjectName("select");
    select_->setDefault(true);
    auto* typesLabel = new QLabel("Files of &type:", this);
    typesLabel->setBuddy(types_);
    types_->setObjectName("fileTypes");
    for (const FolderFilter& f : picker_.filters()) types_->addItem(QString::fromStdString(f.label));
    cancel_->setObjectName("cancel");
    cancel_->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(lookInLabel);
    top->addWidget(lookIn_, 1);
    top->addWidget(up_);
    auto* bottom = new QGridLayout;
    bottom->addWidget(folderLabel, 0, 0);
    bottom->addWidget(edit_, 0, 1);
    bottom->addWidget(select_, 0, 2);
    bottom->addWidget(typesLabel, 1, 0);
    bottom->addWidget(types_, 1, 1);
    bottom->addWidget(cancel_, 1, 2);
    bottom->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);

    setTabOrder(list_, edit_);
    setTabOrder(edit_, select_);
    setTabOrder(select_, cancel_);
    setTabOrder(cancel_, types_);
    setTabOrder(types_, up_);

    connect(select_, &QPushButton::clicked, this, &CFolderDialog::OnSelect);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(up_, &QToolButton::clicked, this, &CFolderDialog::OnUp);
    connect(list_, &QListWidget::itemActivated, this, &CFolderDialog::OnActivated);
    connect(types_, &QComboBox::currentIndexChanged, this, &CFolderDialog::OnType);
    connect(edit_, &FolderEdit::changedByRules, this, &CFolderDialog::ShowState);
    // Pastes and cuts change the text without a rule.
    connect(edit_, &QLineEdit::textEdited, this, [this] { picker_.SetEdit(ReadEdit(*edit_)); });

    picker_.Open(initialFolder.toStdString());
    ShowState();
    edit_->setFocus();
}

void CFolderDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A dialog that opens selects all of its focused edit; the folder edit
    // keeps its caret at the end instead.
    QTimer::singleShot(0, this, [this] { WriteEdit(*edit_, picker_.edit()); });
}

void CFolderDialog::ShowState() {
    if (picker_.folder() != shownFolder_ || picker_.filterIndex() != shownType_) {
        shownFolder_ = picker_.folder();
        shownType_ = picker_.filterIndex();
        lookIn_->setText(QString::fromStdString(picker_.selectedFolder()));
        list_->clear();
        const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
        const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
        for (const FolderEntry& entry : picker_.Listing()) {
            auto* item = new QListWidgetItem(entry.isDirectory ? folderIcon : fileIcon, QString::fromStdString(entry.name));
            item->setData(Qt::UserRole, entry.isDirectory);
            list_->addItem(item);
        }
    }
    WriteEdit(*edit_, picker_.edit());
}

void CFolderDialog::OnSelect() {
    picker_.SetEdit(ReadEdit(*edit_));
    if (picker_.Select()) {
        ShowState();
        accept();
        return;
    }
    ShowState();
    edit_->setFocus();
}

void CFolderDialog::OnActivated(QListWidgetItem* item) {
    if (!item || !item->data(Qt::UserRole).toBool()) return;
    picker_.EnterFolder(item->text().toStdString());
    ShowState();
    edit_->setFocus();
}

void CFolderDialog::OnUp() {
    picker_.GoUp();
    ShowState();
}

void CFolderDialog::OnType(int index) {
    picker_.SetFilterIndex(index);
    ShowState();
}

}  // namespace zul::gui
