#include "gui/qt/resizable_dialog.h"

#include <QLayout>
#include <QResizeEvent>
#include <QtGlobal>

#include <algorithm>

namespace zul::gui {

namespace {

LayoutRect ToLayoutRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

QRect ToQRect(const LayoutRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

}  // namespace

CResizableDialog::CResizableDialog(QWidget* parent) : QDialog(parent) {}

void CResizableDialog::InitDialog() {
    if (layout_.initialised()) return;
    if (QLayout* designer = layout()) {
        // The layout's word, once: the size it asks for (unless the dialog
        // was given one) and the places of the controls in it.
        if (!testAttribute(Qt::WA_Resized)) adjustSize();
        designer->activate();
        designer->setGeometry(contentsRect());
        delete designer;
    } else if (!testAttribute(Qt::WA_Resized)) {
        adjustSize();
    }
    // Fixed now, so that showing the dialog keeps this size.
    resize(size());
    layout_.Initialise({width(), height()});

    grip_ = new QSizeGrip(this);
    grip_->setObjectName("sizeGrip");
    grip_->resize(grip_->sizeHint());
    grip_->move(width() - grip_->width(), height() - grip_->height());
    grip_->raise();
    AddControl(kSizeGripId, grip_, EdgeMode::Move, EdgeMode::Move, true);
    ApplyLimits();
}

void CResizableDialog::SetResizable(bool horizontal, bool vertical) {
    layout_.SetResizable(horizontal, vertical);
    ApplyLimits();
}

void CResizableDialog::AddControl(int controlId, QWidget* control, EdgeMode horizontal, EdgeMode vertical,
                                  bool excludeFromErase) {
    if (control == nullptr || !isAncestorOf(control)) {
        qWarning("CResizableDialog::AddControl: control %d is not inside the dialog; not registered", controlId);
        return;
    }
    const QRect rect(control->mapTo(this, QPoint(0, 0)), control->size());
    layout_.AddControl(controlId, ToLayoutRect(rect), horizontal, vertical, excludeFromErase);
    controls_.push_back({controlId, control});
}

QSize CResizableDialog::designedSize() const {
    return QSize(layout_.designedSize().width, layout_.designedSize().height);
}

QWidget* CResizableDialog::Control(int controlId) const {
    for (const Registered& r : controls_)
        if (r.controlId == controlId) return r.widget;
    return nullptr;
}

void CResizableDialog::ApplyLimits() {
    if (!layout_.initialised()) return;
    const SizeLimits limits = layout_.Limits();
    setMinimumSize(limits.minimum.width, limits.minimum.height);
    setMaximumSize(std::min(limits.maximum.width, QWIDGETSIZE_MAX), std::min(limits.maximum.height, QWIDGETSIZE_MAX));
}

void CResizableDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const std::vector<LayoutMove> moves = layout_.Resize({event->size().width(), event->size().height()});
    if (moves.empty()) return;
    // One repaint for the lot, after every control has its new place.
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    for (const LayoutMove& move : moves) {
        QWidget* control = Control(move.controlId);
        if (control == nullptr) continue;
        QRect target = ToQRect(move.rect);
        if (QWidget* parent = control->parentWidget(); parent != this)
            target.moveTopLeft(parent->mapFrom(this, target.topLeft()));
        // A stretched control keeps its place and a moved one its size: the
        // one that does not change is not touched.
        if (target.size() == control->size())
            control->move(target.topLeft());
        else if (target.topLeft() == control->pos())
            control->resize(target.size());
        else
            control->setGeometry(target);
    }
    setUpdatesEnabled(updates);
    emit controlsMoved(static_cast<int>(moves.size()));
}

}  // namespace zul::gui
