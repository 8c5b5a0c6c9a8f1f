#pragma once
// A dialog the user can resize while its controls follow: some stretch, some
// keep to the right or bottom edge, the rest stay. A size grip sits in the
// bottom-right corner, and the dialog never becomes smaller than designed.
// The geometry is the core's DialogLayout; this class reads the controls'
// rectangles and applies the moves it returns.
//
// How a derived dialog uses it, in its constructor:
//   1. create its controls and put them where they belong, with fixed
//      geometry or with a QLayout on the dialog;
//   2. InitDialog(): the dialog's size now (with a layout: the size the
//      layout asks for, the controls where it puts them) is the designed
//      size and the minimum. A layout only designs: InitDialog removes it
//      (the controls stay) so that from then on the registered entries alone
//      move controls; pointers to it or its sub-layouts are dangling after.
//   3. SetResizable, then AddControl for every control that follows the size.
// Controls not registered keep their place.
#include <QDialog>
#include <QPointer>
#include <QSizeGrip>

#include <vector>

#include "ui/layout/dialog_layout.h"

namespace zul::gui {

class CResizableDialog : public QDialog {
    Q_OBJECT
public:
    explicit CResizableDialog(QWidget* parent = nullptr);

    // Fixes the designed size, creates the grip and registers it (moving
    // with both edges). Harmless the second time.
    void InitDialog();
    // Whether the dialog may grow wider / taller than designed; both may
    // until told otherwise. The limits take effect once initialised.
    void SetResizable(bool horizontal, bool vertical);
    // Registers `control` (a widget inside this dialog) under `controlId`,
    // at the rectangle it has now, in this dialog's coordinates. A control
    // registered twice follows the rule twice; don't.
    void AddControl(int controlId, QWidget* control, EdgeMode horizontal, EdgeMode vertical,
                    bool excludeFromErase = false);

    bool initialised() const { return layout_.initialised(); }
    QSize designedSize() const;
    // The registered control with this id, or null.
    QWidget* Control(int controlId) const;
    QSizeGrip* sizeGrip() const { return grip_; }
    const DialogLayout& controlLayout() const { return layout_; }

signals:
    // After a size change moved `count` controls (never with 0): all of
    // them have their new geometry when this is emitted.
    void controlsMoved(int count);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyLimits();

    struct Registered {
        int controlId;
        QPointer<QWidget> widget;
    };
    DialogLayout layout_;
    std::vector<Registered> controls_;
    QSizeGrip* grip_ = nullptr;
};

}  // namespace zul::gui
