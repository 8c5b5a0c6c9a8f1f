#include "gui/qt/setup_instructions_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "gui/qt/pictures.h"
#include "gui/qt/select_com_port_dialog.h"

namespace zul::gui {

QPixmap SetupPicture() {
    QPixmap picture(440, 190);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    DrawTester(p, QRectF(20, 16, 130, 160));

    // The PC with its serial port on the right; the cable joins the two.
    const QRectF screen(300, 30, 120, 84);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 2));
    p.setBrush(QColor(0xe8, 0xe8, 0xe8));
    p.drawRoundedRect(screen, 6, 6);
    p.setBrush(QColor(0x3a, 0x5a, 0x80));
    p.drawRect(screen.adjusted(8, 8, -8, -8));
    p.setBrush(QColor(0xd0, 0xd0, 0xd0));
    p.drawRect(QRectF(350, 114, 20, 12));
    p.drawRoundedRect(QRectF(310, 126, 100, 10), 3, 3);
    const QRectF port(270, 140, 28, 14);
    p.setBrush(QColor(0x90, 0x90, 0x90));
    p.drawRoundedRect(port, 3, 3);

    QPainterPath cable;
    // On from where the tester's own cable ends.
    cable.moveTo(157, 120);
    cable.cubicTo(164, 150, 220, 160, 270, 147);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 4.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);

    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(QColor(0x20, 0x20, 0x20));
    p.drawText(QRectF(200, 160, 230, 24), Qt::AlignRight | Qt::AlignVCenter, "RS232 cable to the PC serial port");
    p.drawText(QRectF(150, 14, 140, 20), Qt::AlignLeft | Qt::AlignVCenter, "KVR 7700, COM1");
    return picture;
}

CSetupInstructionsDlg::CSetupInstructionsDlg(QWidget* owner)
    : QDialog(owner),
      picture_(new QLabel(this)),
      ok_(new QPushButton("OK", this)),
      cancel_(new QPushButton("Cancel", this)),
      comPort_(new QPushButton("Setup &COM Port...", this)),
      openComPort_(OpenSelectComPortDialog) {
    setObjectName("CSetupInstructionsDlg");
    setWindowTitle(kCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    picture_->setObjectName("picture");
    picture_->setPixmap(SetupPicture());
    picture_->setFrameShape(QFrame::Box);
    picture_->setAlignment(Qt::AlignCenter);

    auto* frame = new QGroupBox(this);
    frame->setObjectName("instructions");
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setSpacing(6);
    const char* const texts[] = {
        "1.  Power the KVR 7700 with the AC/DC adapter.",
        "2.  Connect the RS232 cable between the PC\u2019s serial port and COM1 on the\n"
        "KVR 7700 as shown above.",
        "3.  Select the PC COM port that the cable is connected to with the\n"
        "\"Setup COM Port...\" button below.",
        "4.  Hold down the Up Arrow key while powering up the KVR 7700 and wait for\n"
        "two short beeps.",
    };
    for (const char* text : texts) {
        auto* line = new QLabel(QString::fromUtf8(text), frame);
        line->setTextFormat(Qt::PlainText);
        frameLayout->addWidget(line);
        lines_.push_back(line);
    }

    ok_->setObjectName("okButton");
    cancel_->setObjectName("cancelButton");
    comPort_->setObjectName("comPortButton");
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(comPort_, &QPushButton::clicked, this, [this] {
        if (openComPort_) openComPort_(this);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    buttons->addWidget(comPort_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->addWidget(picture_, 0, Qt::AlignHCenter);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setTabOrder(ok_, cancel_);
    setTabOrder(cancel_, comPort_);
    adjustSize();
    setFixedSize(sizeHint());
    ok_->setFocus();
}

QStringList CSetupInstructionsDlg::instructions() const {
    QStringList out;
    for (const QLabel* line : lines_) out << line->text();
    return out;
}

}  // namespace zul::gui
