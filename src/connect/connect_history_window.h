#pragma once

#include "files/connect_history.h"

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kalder {

// The list of recorders connected before, newest first: pick one for the connect dialog, delete
// one, or give one a new site text. Every change is written to the history file at once.
// GUI thread only.
class ConnectHistoryWindow : public QDialog {
    Q_OBJECT
public:
    ConnectHistoryWindow(std::filesystem::path historyFile, std::uint8_t opacity,
                         QWidget* parent = nullptr);

    // The entry chosen with OK.
    const std::optional<ConnectEntry>& chosen() const { return m_chosen; }
    // The rows as shown, newest first.
    const std::vector<ConnectEntry>& rows() const { return m_rows; }

private:
    void buildWidgets();
    // Reads the file again and selects `row` (none when -1 or out of range).
    void reload(int row);
    // Derives every control's state from the selection and the edit mode.
    void updateWidgets();
    int selectedRow() const;
    // The entry's index in the file (entries are unique by address and port), or nothing when the
    // file no longer holds it.
    std::optional<std::size_t> fileIndexOf(const ConnectEntry& entry) const;

    void onSelectionChanged();
    void onDelete();
    void onEdit();
    void onSave();
    void onOk();

    ConnectHistory m_history;
    std::vector<ConnectEntry> m_rows;
    std::optional<ConnectEntry> m_chosen;
    bool m_editing = false;
    bool m_reloading = false;

    QTreeWidget* m_list = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_editButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QLineEdit* m_siteEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace kalder
