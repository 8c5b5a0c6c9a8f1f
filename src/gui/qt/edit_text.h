#pragma once
// A line edit's text and selection as the core's rules see them (UTF-8,
// positions in bytes), and back.
#include <QLineEdit>

#include "ui/directory/folder_picker.h"

namespace zul::gui {

inline std::size_t Utf8Position(const QString& text, int index) {
    return static_cast<std::size_t>(text.left(index).toUtf8().size());
}

inline int QtPosition(const std::string& text, std::size_t position) {
    return static_cast<int>(QString::fromUtf8(text.substr(0, position)).size());
}

inline EditText ReadEdit(const QLineEdit& edit) {
    const QString text = edit.text();
    EditText out;
    out.text = text.toStdString();
    if (edit.hasSelectedText()) {
        const int start = edit.selectionStart();
        out.selectionStart = Utf8Position(text, start);
        out.selectionEnd = Utf8Position(text, start + static_cast<int>(edit.selectedText().size()));
    } else {
        out.selectionStart = out.selectionEnd = Utf8Position(text, edit.cursorPosition());
    }
    return out;
}

inline void WriteEdit(QLineEdit& edit, const EditText& state) {
    const QSignalBlocker blocker(&edit);
    if (edit.text().toStdString() != state.text) edit.setText(QString::fromStdString(state.text));
    const int start = QtPosition(state.text, state.selectionStart);
    const int end = QtPosition(state.text, state.selectionEnd);
    if (end > start)
        edit.setSelection(start, end - start);
    else
        edit.setCursorPosition(end);
}

}  // namespace zul::gui
