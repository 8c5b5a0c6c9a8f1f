#include "gui/qt/about_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/qt/pictures.h"

namespace zul::gui {

CAboutDlg::CAboutDlg(QWidget* owner) : QDialog(owner) {
    setObjectName("CAboutDlg");
    setWindowTitle("About");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setObjectName("icon");
    icon->setPixmap(ApplicationIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(6);
    int index = 0;
    for (const char* text : {"ZUL", kVersionLine, kLegalNotice, "Brennic Corporation"}) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setObjectName(QString("line%1").arg(++index));
        label->setTextFormat(Qt::PlainText);
        lines->addWidget(label);
    }

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->addWidget(icon, 0, 0, Qt::AlignTop);
    grid->addLayout(lines, 0, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    setFixedSize(sizeHint());
}

}  // namespace zul::gui
