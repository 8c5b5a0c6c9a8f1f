#include "gui/download_dialog.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zul::gui {

void OpenDownloadDialog(QWidget* owner) {
    QDialog dialog(owner);
    dialog.setObjectName(kDownloadPlaceholderName);
    dialog.setWindowTitle("Download");
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* text = new QLabel(
        "The download dialog is not part of this build yet.\n\n"
        "To download an application, use the command line:\n"
        "    zul-cli download APP",
        &dialog);
    text->setTextFormat(Qt::PlainText);
    auto* close = new QPushButton("Close", &dialog);
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addWidget(text);
    layout->addWidget(close, 0, Qt::AlignRight);
    dialog.setFixedSize(dialog.sizeHint());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

}  // namespace zul::gui
