#include "gui/qt/pictures.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPixmap>

namespace zul::gui {
namespace {

const QColor kNavy(0x12, 0x2b, 0x4a);
const QColor kTeal(0x1f, 0x8a, 0x9b);
const QColor kAmber(0xf2, 0xa9, 0x00);

void DrawIconInto(QPainter& p, int size) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient background(0, 0, 0, s);
    background.setColorAt(0, kTeal);
    background.setColorAt(1, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(background);
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
    // A "Z" drawn as a stroke, with a lightning flick: software going down a wire.
    QPainterPath z;
    z.moveTo(s * 0.24, s * 0.26);
    z.lineTo(s * 0.76, s * 0.26);
    z.lineTo(s * 0.24, s * 0.74);
    z.lineTo(s * 0.76, s * 0.74);
    QPen pen(Qt::white, qMax(1.5, s * 0.11), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(z);
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(s * 0.78, s * 0.78), s * 0.09, s * 0.09);
}

}  // namespace

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        DrawIconInto(p, size);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void DrawTester(QPainter& p, const QRectF& area) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Fit a 60 x 80 design box into the area.
    const qreal scale = qMin(area.width() / 60.0, area.height() / 80.0);
    p.translate(area.center().x() - 30 * scale, area.center().y() - 40 * scale);
    p.scale(scale, scale);

    // The cable: from the top of the handheld, in a loose curve off to the right.
    QPainterPath cable;
    cable.moveTo(30, 4);
    cable.cubicTo(32, -8, 52, -6, 58, 10);
    cable.cubicTo(62, 22, 58, 40, 66, 52);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cable);
    // Its plug.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x50, 0x50, 0x50));
    p.drawRoundedRect(QRectF(25, 1, 10, 6), 1.5, 1.5);

    // Body.
    QLinearGradient body(0, 0, 60, 0);
    body.setColorAt(0, QColor(0xe6, 0x7e, 0x12));
    body.setColorAt(1, QColor(0xb8, 0x5c, 0x05));
    p.setPen(QPen(QColor(0x5a, 0x2e, 0x02), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(6, 6, 48, 72), 7, 7);
    // Screen with a progress bar on it.
    p.setBrush(QColor(0x1c, 0x2a, 0x22));
    p.drawRoundedRect(QRectF(12, 12, 36, 24), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7c, 0xe0, 0x8a));
    p.drawRect(QRectF(15, 28, 20, 3));
    p.setBrush(QColor(0x3a, 0x5a, 0x44));
    p.drawRect(QRectF(35, 28, 10, 3));
    for (int line = 0; line < 2; ++line) {
        p.setBrush(QColor(0x7c, 0xe0, 0x8a));
        p.drawRect(QRectF(15, 16 + line * 5, 18 - line * 6, 2));
    }
    // Keypad: three rows of three, and the arrow cluster.
    p.setBrush(QColor(0xf4, 0xe9, 0xd8));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) p.drawRoundedRect(QRectF(13 + col * 12, 42 + row * 9, 9, 6), 1.5, 1.5);
    p.setBrush(QColor(0x2d, 0x2d, 0x2d));
    p.drawEllipse(QPointF(30, 71), 4, 4);
    p.restore();
}

QImage SplashPicture() {
    QImage image(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient background(0, 0, kSplashWidth, kSplashHeight);
    background.setColorAt(0, kNavy);
    background.setColorAt(1, QColor(0x0b, 0x5c, 0x6b));
    p.fillRect(image.rect(), background);
    // A thin amber rule along the bottom, and a fine outline so the borderless
    // window stands out on any desktop.
    p.fillRect(QRect(0, kSplashHeight - 6, kSplashWidth, 6), kAmber);
    p.setPen(QColor(0x06, 0x18, 0x2a));
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));

    DrawTester(p, QRectF(346, 26, 120, 160));

    QFont title("DejaVu Sans");
    title.setPixelSize(84);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(28, 14, 300, 100), Qt::AlignLeft | Qt::AlignVCenter, "ZUL");

    // The tester's name in the largest size that fits beside the picture,
    // whatever font the system substitutes.
    const QString name = "for the KVR 7700 Engine Analyzer";
    QFont line("DejaVu Sans");
    int size = 19;
    do {
        line.setPixelSize(size--);
    } while (size > 9 && QFontMetrics(line).horizontalAdvance(name) > 305);
    p.setFont(line);
    p.setPen(QColor(0xdc, 0xee, 0xf2));
    p.drawText(QRect(30, 112, 310, 26), Qt::AlignLeft | Qt::AlignVCenter, name);

    QFont small("DejaVu Sans");
    small.setPixelSize(14);
    p.setFont(small);
    p.setPen(kAmber);
    p.drawText(QRect(30, 146, 310, 20), Qt::AlignLeft | Qt::AlignVCenter, "Version 2.2");
    p.setPen(QColor(0xa8, 0xc4, 0xcc));
    p.drawText(QRect(30, 170, 310, 20), Qt::AlignLeft | Qt::AlignVCenter, "Brennic Corporation");
    p.end();
    return image;
}

}  // namespace zul::gui
