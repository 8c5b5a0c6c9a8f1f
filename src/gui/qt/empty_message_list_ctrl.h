#pragma once
// A report-style list that says so when it is empty: its message, centred
// and word-wrapped, 10 pixels under the header, in the list's background.
#include <QString>
#include <QTreeWidget>

namespace zul::gui {

class CEmptyMessageListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CEmptyMessageListCtrl(QWidget* parent = nullptr);

    // Off until the owner switches it on.
    int showEmptyMessage = 0;
    QString emptyMessage = "No items to display.";

    // Null leaves the message as it is.
    void SetEmptyMessage(const char* text);
    // Where the message is drawn, in the viewport's coordinates (the header
    // sits above the viewport); empty while the message is not shown.
    QRect EmptyMessageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace zul::gui
