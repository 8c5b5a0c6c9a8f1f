#include "gui/setup_directory_dialog.h"

#include <QMessageBox>

namespace zul::gui {

// A placeholder until the directory set-up dialog is built: it tells the user
// where the setting lives meanwhile.
void OpenSetupDirectoryDialog(QWidget* owner) {
    QMessageBox box(QMessageBox::Information, "Setup Directory",
                    "The directory set-up dialog is not part of this build yet.\n\n"
                    "Set QOBDir and ImgQOBDir in section [Dir Setup] of the settings file\n"
                    "(zul-cli settings shows which file is in use).",
                    QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

}  // namespace zul::gui
