#pragma once
// An editable combo box that remembers the texts used before (most recent
// first) and completes what is typed from them.
#include <QComboBox>
#include <QSettings>

#include "ui/directory/folder_history.h"

namespace zul::gui {

// The history in the user's profile of the window program ("Brennic Corp",
// "ZUL for KVR 7700": the registry on Windows, a .conf file elsewhere).
class ProfileHistoryStore final : public HistoryStore {
public:
    std::optional<std::string> Read(const std::string& section, const std::string& key) override;
    void Write(const std::string& section, const std::string& key, const std::string& value) override;

private:
    QSettings settings_{"Brennic Corp", "ZUL for KVR 7700"};
};

class CHistoryComboBox : public QComboBox {
    Q_OBJECT
public:
    CHistoryComboBox(HistoryStore& store, QWidget* parent = nullptr);

    HistoryList& history() { return history_; }
    void LoadHistory(const char* section, const char* prefix);
    int AddToHistory(const QString& text);
    void SaveHistory(bool addCurrent);
    // Shows the history's entries again after the list changed.
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTextEdited(const QString& text);

    HistoryList history_;
};

}  // namespace zul::gui
