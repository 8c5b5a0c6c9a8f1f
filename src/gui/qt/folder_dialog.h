#pragma once
// "Select Folder": a folder picker laid out like a file-open dialog, whose
// "Folder:" edit and "Select" button take the place of the file name and
// Open. What the keys, the button and a double-click do is the core's
// FolderPicker; this window shows it.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "ui/directory/folder_picker.h"

namespace zul::gui {

// The "Folder:" edit: hands Enter, Delete and typed characters to the picker
// once the edit has done its own part.
class FolderEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    FolderPicker* picker = nullptr;

signals:
    void changedByRules();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class CFolderDialog : public QDialog {
    Q_OBJECT
public:
    // `filter` is "label|pattern|..." pairs; "" gives "All Files (*.*)".
    // `fs` and `prompts` default to this machine and message boxes.
    CFolderDialog(const QString& initialFolder, const QString& filter, QWidget* owner,
                  FolderFileSystem* fs = nullptr, FolderPrompts* prompts = nullptr);

    // The folder shown last, with a trailing separator.
    QString selectedFolder() const { return QString::fromStdString(picker_.selectedFolder()); }
    FolderPicker& picker() { return picker_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnSelect();
    void OnActivated(QListWidgetItem* item);
    void OnUp();
    void OnType(int index);
    // Shows the picker's state: the folder, its entries, the edit.
    void ShowState();

    MessageFolderPrompts messagePrompts_;
    FolderPicker picker_;
    QLabel* lookIn_;
    QToolButton* up_;
    QListWidget* list_;
    FolderEdit* edit_;
    QPushButton* select_;
    QComboBox* types_;
    QPushButton* cancel_;
    std::string shownFolder_;
    int shownType_ = -1;
};

}  // namespace zul::gui
