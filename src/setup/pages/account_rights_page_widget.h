#pragma once

#include "setup/model/client_account_page.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace kalder {

class ChannelSwitchPageWidget;
class SetupWindow;

// The Client Account page: the account the page shows (chosen with the list chooser among the
// accounts the logged-in one may see), its name and password (changed through the name
// actions and the store button), its level and the eight permission boxes; with the extended
// rules the Auto Log-out and Archive Log views; on records of major version 5 on the
// live-channel sub-page. Everything the rules forbid does nothing: a box springs back. GUI
// thread only.
class AccountRightsPageWidget : public QWidget {
public:
    explicit AccountRightsPageWidget(SetupWindow& window);

    // Shows `account` when the logged-in account may select it.
    void selectAccount(std::size_t account);
    std::size_t account() const { return m_account; }
    void showView(AccountView view);

    QPushButton* accountButton() const { return m_accountButton; }
    QPushButton* nameButton() const { return m_nameButton; }
    QPushButton* levelButton() const { return m_levelButton; }
    // Box `box` (0..7, top to bottom).
    QCheckBox* box(std::size_t box) const { return m_boxes[box]; }
    QLineEdit* nameEdit() const { return m_edits[0]; }
    QLineEdit* passwordEdit() const { return m_edits[1]; }
    QLineEdit* confirmEdit() const { return m_edits[2]; }
    QLineEdit* archiveEdit() const { return m_edits[3]; }
    QLineEdit* archiveConfirmEdit() const { return m_edits[4]; }
    QPushButton* storeButton() const { return m_store; }
    QPushButton* archiveStoreButton() const { return m_archiveStore; }
    QPushButton* viewButton(AccountView view) const;
    QPushButton* logoutButton(std::size_t which) const { return m_logout[which]; }
    QPushButton* liveChannelButton() const { return m_liveButton; }
    ChannelSwitchPageWidget* liveChannelPage() const;
    // Runs a name action as if chosen from the name row's list.
    void runNameAction(NameAction action);

private:
    QString label(std::size_t account) const;
    void refresh();
    void boxClicked(std::size_t box, bool checked);
    void updateStoreButtons();
    void store();
    void storeArchive();
    void showStatus(const QString& text);
    void enableEdits(bool on);
    void openLiveChannels();
    void closeLiveChannels();

    SetupWindow& m_window;
    ClientAccountState m_state;
    std::size_t m_account = 0;
    std::vector<AccountView> m_views;
    QVBoxLayout* m_column = nullptr;
    QWidget* m_main = nullptr;
    std::array<QWidget*, 3> m_viewPanels{};
    std::array<QPushButton*, 3> m_viewButtons{};
    QPushButton* m_accountButton = nullptr;
    QPushButton* m_nameButton = nullptr;
    QPushButton* m_levelButton = nullptr;
    std::array<QLineEdit*, 5> m_edits{};
    QPushButton* m_store = nullptr;
    QPushButton* m_archiveStore = nullptr;
    std::array<QCheckBox*, kSetupPermissions> m_boxes{};
    std::array<QPushButton*, 2> m_logout{};
    QPushButton* m_liveButton = nullptr;
    QLabel* m_status = nullptr; // what the last store did, or why it was refused
    QPointer<QWidget> m_livePage;
};

} // namespace kalder
