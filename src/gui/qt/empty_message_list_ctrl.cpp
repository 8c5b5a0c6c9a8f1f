#include "gui/qt/empty_message_list_ctrl.h"

#include <QPainter>

namespace zul::gui {

CEmptyMessageListCtrl::CEmptyMessageListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
}

void CEmptyMessageListCtrl::SetEmptyMessage(const char* text) {
    if (text == nullptr) return;
    emptyMessage = QString::fromUtf8(text);
    viewport()->update();
}

QRect CEmptyMessageListCtrl::EmptyMessageRect() const {
    if (showEmptyMessage == 0 || topLevelItemCount() > 0) return {};
    QRect area = viewport()->rect();
    area.setTop(area.top() + 10);
    return area;
}

void CEmptyMessageListCtrl::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    const QRect area = EmptyMessageRect();
    if (area.isEmpty()) return;
    QPainter painter(viewport());
    painter.fillRect(area, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(font());
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyMessage);
}

}  // namespace zul::gui
