#pragma once

#include "setup/model/account_rights_page.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QPushButton;

namespace kalder {

class SetupWindow;

// The permissions of the Client Account page: an account chooser and the eight permission
// boxes of the chosen account; a click writes the permission at once. GUI thread only.
class AccountRightsPageWidget : public QWidget {
public:
    explicit AccountRightsPageWidget(SetupWindow& window);

    void selectAccount(std::size_t account);
    std::size_t account() const { return m_account; }
    QPushButton* accountButton() const { return m_accountButton; }
    // Box `box` (0..7, top to bottom).
    QCheckBox* box(std::size_t box) const { return m_boxes[box]; }

private:
    void refresh();
    void boxClicked(std::size_t box, bool checked);

    SetupWindow& m_window;
    AccountRightsState m_state;
    std::size_t m_account = 0;
    QPushButton* m_accountButton = nullptr;
    std::array<QCheckBox*, kSetupPermissions> m_boxes{};
};

} // namespace kalder
