#pragma once
// ZUL's own pictures, drawn by code so that they are source like the rest:
// the application icon, the splash picture and the tester with its cable.
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QRectF>

namespace zul::gui {

inline constexpr int kSplashWidth = 492;
inline constexpr int kSplashHeight = 213;

// The picture shown while the program starts: product name, tester name and
// version, 492 x 213 pixels.
QImage SplashPicture();
// The application icon, at the usual sizes.
QIcon ApplicationIcon();
// The KVR 7700 handheld with its serial cable running off to the right,
// drawn into `area` (keeps its proportions, about 3:4).
void DrawTester(QPainter& painter, const QRectF& area);

}  // namespace zul::gui
