#include "gui/qt/history_combo_box.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

#include "gui/qt/edit_text.h"

namespace zul::gui {

namespace {

// Profile sections name sub keys with "\" as the registry does; QSettings
// takes "/".
QString ProfileKey(const std::string& section, const std::string& key) {
    QString path = QString::fromStdString(section + "\\" + key);
    path.replace('\\', '/');
    return path;
}

}  // namespace

std::optional<std::string> ProfileHistoryStore::Read(const std::string& section, const std::string& key) {
    const QVariant value = settings_.value(ProfileKey(section, key));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

void ProfileHistoryStore::Write(const std::string& section, const std::string& key, const std::string& value) {
    settings_.setValue(ProfileKey(section, key), QString::fromStdString(value));
    settings_.sync();
}

CHistoryComboBox::CHistoryComboBox(HistoryStore& store, QWidget* parent) : QComboBox(parent), history_(store) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);  // completion is ours
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, &CHistoryComboBox::OnTextEdited);
}

void CHistoryComboBox::LoadHistory(const char* section, const char* prefix) {
    history_.LoadHistory(section, prefix);
    Refresh();
}

int CHistoryComboBox::AddToHistory(const QString& text) {
    const int position = history_.AddToHistory(text.toStdString());
    Refresh();
    return position;
}

void CHistoryComboBox::SaveHistory(bool addCurrent) {
    history_.SaveHistory(addCurrent, currentText().toStdString());
    Refresh();
}

void CHistoryComboBox::Refresh() {
    const QString text = currentText();
    const QSignalBlocker blocker(this);
    clear();
    for (const std::string& item : history_.items()) addItem(QString::fromStdString(item));
    setCurrentIndex(-1);
    setEditText(text);
    // The open list is as wide as its longest folder, so none is cut.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth() + 4);
}

bool CHistoryComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        history_.KeyDown(key == Qt::Key_Delete || key == Qt::Key_Backspace);
    }
    return QComboBox::eventFilter(watched, event);
}

void CHistoryComboBox::OnTextEdited(const QString&) {
    if (!history_.autoComplete()) return;
    const EditText typed = ReadEdit(*lineEdit());
    const ComboEdit shown =
        CompleteFromHistory(history_.items(), {typed.text, typed.selectionStart, typed.selectionEnd, -1});
    if (shown.selectedItem >= 0) {
        const QSignalBlocker blocker(this);
        setCurrentIndex(shown.selectedItem);
    }
    WriteEdit(*lineEdit(), {shown.text, shown.selectionStart, shown.selectionEnd});
}

}  // namespace zul::gui
