#include "setup/pages/account_rights_page_widget.h"

#include "setup/pages/channel_switch_page_widget.h"
#include "setup/pages/page_controls.h"
#include "setup/setup_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kalder {

namespace {

// Captions of the boxes, top to bottom (the permission each edits: kPermissionOfBox).
const char* const kBoxCaptions[] = {"Stop recording", "Covert view", "Remote setup", "Login",
                                    "Search",         "Restart",     "PTZ control",  "Backup"};

// Level 0 keeps the account from logging in; level 1 lets it log in with its permissions.
QStringList levelNames() {
    return {QObject::tr("Level 0 (no log-in)"), QObject::tr("Level 1 (may log in)")};
}

QStringList logoutNames() {
    return {QStringLiteral("Off"), QStringLiteral("15m"), QStringLiteral("30m"),
            QStringLiteral("1h")};
}

QString nameActionText(NameAction action) {
    switch (action) {
    case NameAction::Change:
        return QObject::tr("Change");
    case NameAction::Delete:
        return QObject::tr("Delete");
    case NameAction::Add:
        break;
    }
    return QObject::tr("Add");
}

QString listText(const QStringList& list, unsigned value) {
    return value < unsigned(list.size()) ? list[int(value)] : QString::number(value);
}

} // namespace

AccountRightsPageWidget::AccountRightsPageWidget(SetupWindow& window)
    : m_window(window), m_state(readClientAccount(window.record(), window.context())),
      m_account(initialAccount(window.context())),
      m_views(
          accountViews(m_state.rules, window.context().featureBit0, window.context().featureBit1)) {
    setObjectName(QStringLiteral("accountRightsPage"));
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(8, 6, 8, 6);
    m_main = new QWidget(this);
    m_column->addWidget(m_main);
    auto* column = new QVBoxLayout(m_main);
    column->setContentsMargins(0, 0, 0, 0);

    // View buttons (none with the basic rules, or when the recorder has neither feature).
    const char* viewCaptions[] = {"Account", "Auto Log-out", "Archive Log"};
    auto* views = new QHBoxLayout;
    for (AccountView v : m_views) {
        const auto i = static_cast<std::size_t>(v);
        QPushButton* b = pageButton(QString::fromLatin1(viewCaptions[i]),
                                    QStringLiteral("accountView%1").arg(i), m_main, true);
        connect(b, &QPushButton::clicked, this, [this, v] { showView(v); });
        if (v == AccountView::ArchiveLog)
            b->setEnabled(mayEditArchivePassword(m_state.rules, m_state.user));
        views->addWidget(b);
        m_viewButtons[i] = b;
    }
    if (!m_views.empty()) {
        views->addStretch();
        column->addLayout(views);
    } else {
        delete views; // no view buttons: the row is not laid out and would belong to no one
    }

    // Account view.
    auto* account = new QWidget(m_main);
    account->setObjectName(QStringLiteral("accountView"));
    auto* grid = new QGridLayout(account);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    const ValueRow accountRow =
        addValueRow(grid, 0, tr("Account"), QStringLiteral("accountChooser"), account);
    m_accountButton = accountRow.button;
    connect(m_accountButton, &QPushButton::clicked, this, [this] {
        const std::vector<std::size_t> accounts = selectableAccounts(m_state.user);
        if (accounts.empty())
            return;
        QStringList labels;
        for (std::size_t a : accounts)
            labels << label(a);
        m_window.openListChooser(m_accountButton, labels, 160, false, [this, accounts](int i) {
            if (i >= 0 && std::size_t(i) < accounts.size())
                selectAccount(accounts[std::size_t(i)]);
        });
    });
    m_nameButton = addValueRow(grid, 1, tr("Name"), QStringLiteral("nameRow"), account).button;
    connect(m_nameButton, &QPushButton::clicked, this, [this] {
        const std::vector<NameAction> actions = nameActions(m_state, m_account);
        if (actions.empty())
            return;
        QStringList texts;
        for (NameAction a : actions)
            texts << nameActionText(a);
        m_window.openListChooser(m_nameButton, texts, 120, false, [this, actions](int i) {
            if (i >= 0 && std::size_t(i) < actions.size())
                runNameAction(actions[std::size_t(i)]);
        });
    });
    m_levelButton = addValueRow(grid, 2, tr("Level"), QStringLiteral("levelRow"), account).button;
    connect(m_levelButton, &QPushButton::clicked, this, [this] {
        if (!mayEditLevel(m_state.rules, m_state.user, m_account))
            return;
        m_window.openListChooser(m_levelButton, levelNames(), 120, false, [this](int i) {
            setAccountLevel(m_window.record(), m_state, m_account, static_cast<unsigned>(i));
            refresh();
        });
    });
    const char* editCaptions[] = {"New name", "Password", "Confirm", "Archive password",
                                  "Confirm archive password"};
    for (std::size_t e = 0; e < m_edits.size(); ++e) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("accountEdit%1").arg(e));
        edit->setAccessibleName(QString::fromLatin1(editCaptions[e]));
        edit->setMaxLength(static_cast<int>(kAccountTextMaxChars));
        if (e > 0)
            edit->setEchoMode(QLineEdit::Password);
        // Letters become capitals as they are typed; other characters the recorder cannot
        // store are dropped.
        connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& text) {
            const QString kept =
                QString::fromLatin1(accountTextFromInput(text.toStdU32String()).c_str());
            if (kept != text)
                edit->setText(kept);
            updateStoreButtons();
        });
        m_edits[e] = edit;
    }
    for (int e = 0; e < 3; ++e) {
        auto* l = new QLabel(QString::fromLatin1(editCaptions[e]), account);
        l->setBuddy(m_edits[std::size_t(e)]);
        m_edits[std::size_t(e)]->setParent(account);
        grid->addWidget(l, 3 + e, 0);
        grid->addWidget(m_edits[std::size_t(e)], 3 + e, 1);
    }
    m_store = pageButton(tr("Store"), QStringLiteral("storeAccount"), account);
    connect(m_store, &QPushButton::clicked, this, [this] { store(); });
    grid->addWidget(m_store, 5, 2);
    auto* boxes = new QGridLayout;
    boxes->setVerticalSpacing(0);
    for (std::size_t b = 0; b < kSetupPermissions; ++b) {
        auto* box = new QCheckBox(QString::fromLatin1(kBoxCaptions[b]), account);
        box->setObjectName(QStringLiteral("permission%1").arg(b));
        connect(box, &QCheckBox::clicked, this, [this, b](bool on) { boxClicked(b, on); });
        boxes->addWidget(box, static_cast<int>(b % 4), static_cast<int>(b / 4));
        m_boxes[b] = box;
    }
    grid->addLayout(boxes, 6, 0, 1, 3);
    if (window.context().version.major >= 5) {
        m_liveButton =
            pageButton(QStringLiteral("Live CH"), QStringLiteral("liveChannels"), account);
        m_liveButton->setToolTip(tr("Opens the channels this account may watch live"));
        connect(m_liveButton, &QPushButton::clicked, this, [this] { openLiveChannels(); });
        grid->addWidget(m_liveButton, 7, 2);
    }
    column->addWidget(account);
    m_viewPanels[0] = account;
    m_status = new QLabel(m_main);
    m_status->setObjectName(QStringLiteral("accountStatus"));
    m_status->setAccessibleName(tr("Account status"));
    m_status->setWordWrap(true);

    // Auto Log-out view.
    auto* logout = new QWidget(m_main);
    logout->setObjectName(QStringLiteral("autoLogoutView"));
    auto* logoutGrid = new QGridLayout(logout);
    for (std::size_t which = 0; which < 2; ++which) {
        m_logout[which] = addValueRow(logoutGrid, static_cast<int>(which),
                                      which == 0 ? tr("Auto log-out at the recorder")
                                                 : tr("Auto log-out over the network"),
                                      QStringLiteral("logout%1").arg(which + 1), logout)
                              .button;
        connect(m_logout[which], &QPushButton::clicked, this, [this, which] {
            if (!mayEditLogout(m_state.rules, m_state.user, m_account))
                return;
            m_window.openListChooser(m_logout[which], logoutNames(), 120, false,
                                     [this, which](int i) {
                                         setAccountLogout(m_window.record(), m_state, m_account,
                                                          which, static_cast<unsigned>(i));
                                         refresh();
                                     });
        });
    }
    logoutGrid->setRowStretch(2, 1);
    column->addWidget(logout);
    m_viewPanels[1] = logout;

    // Archive Log view.
    auto* archive = new QWidget(m_main);
    archive->setObjectName(QStringLiteral("archiveLogView"));
    auto* archiveGrid = new QGridLayout(archive);
    for (int e = 3; e < 5; ++e) {
        auto* l = new QLabel(QString::fromLatin1(editCaptions[e]), archive);
        l->setBuddy(m_edits[std::size_t(e)]);
        m_edits[std::size_t(e)]->setParent(archive);
        archiveGrid->addWidget(l, e - 3, 0);
        archiveGrid->addWidget(m_edits[std::size_t(e)], e - 3, 1);
    }
    m_archiveStore = pageButton(tr("Store"), QStringLiteral("storeArchive"), archive);
    connect(m_archiveStore, &QPushButton::clicked, this, [this] { storeArchive(); });
    archiveGrid->addWidget(m_archiveStore, 2, 1, Qt::AlignRight);
    archiveGrid->setRowStretch(3, 1);
    column->addWidget(archive);
    m_viewPanels[2] = archive;
    column->addWidget(m_status);
    column->addStretch();

    enableEdits(false);
    showView(AccountView::Account);
}

QPushButton* AccountRightsPageWidget::viewButton(AccountView view) const {
    return m_viewButtons[static_cast<std::size_t>(view)];
}

QString AccountRightsPageWidget::label(std::size_t account) const {
    return QString::fromStdString(defaultAccountLabel(account, "ADMIN", "MANAGER", "USER"));
}

void AccountRightsPageWidget::showView(AccountView view) {
    const bool offered = view == AccountView::Account ||
                         std::find(m_views.begin(), m_views.end(), view) != m_views.end();
    if (!offered ||
        (view == AccountView::ArchiveLog && !mayEditArchivePassword(m_state.rules, m_state.user)))
        return;
    for (std::size_t v = 0; v < m_viewPanels.size(); ++v) {
        m_viewPanels[v]->setVisible(v == static_cast<std::size_t>(view));
        if (m_viewButtons[v])
            m_viewButtons[v]->setChecked(v == static_cast<std::size_t>(view));
    }
    refresh();
}

void AccountRightsPageWidget::selectAccount(std::size_t account) {
    const std::vector<std::size_t> accounts = selectableAccounts(m_state.user);
    if (std::find(accounts.begin(), accounts.end(), account) == accounts.end())
        return;
    m_account = account;
    m_status->clear(); // it spoke of the account shown before
    for (std::size_t e = 0; e < 3; ++e)
        m_edits[e]->clear();
    enableEdits(false);
    refresh();
}

void AccountRightsPageWidget::enableEdits(bool on) {
    for (std::size_t e = 0; e < 3; ++e)
        m_edits[e]->setEnabled(on);
    updateStoreButtons();
}

void AccountRightsPageWidget::refresh() {
    const QString text = label(m_account);
    m_accountButton->setText(text);
    m_accountButton->setAccessibleName(tr("Account") + QLatin1Char(' ') + text);
    m_nameButton->setText(
        QString::fromLatin1(shownAccountName(m_state, m_account, text.toStdString()).c_str()));
    const unsigned level = m_state.levels[m_account];
    m_levelButton->setText(level < kAccountLevels ? listText(levelNames(), level)
                                                  : tr("Level %1").arg(level));
    for (std::size_t b = 0; b < kSetupPermissions; ++b)
        m_boxes[b]->setChecked(m_state.rights.permissions[m_account][kPermissionOfBox[b]]);
    for (std::size_t which = 0; which < 2; ++which)
        m_logout[which]->setText(listText(logoutNames(), m_state.logout[m_account][which]));
}

void AccountRightsPageWidget::boxClicked(std::size_t box, bool checked) {
    setAccountPermission(m_window.record(), m_state, m_account, kPermissionOfBox[box], checked);
    // A permission the page may not change shows its stored value again.
    m_boxes[box]->setChecked(m_state.rights.permissions[m_account][kPermissionOfBox[box]]);
}

void AccountRightsPageWidget::runNameAction(NameAction action) {
    const std::vector<NameAction> actions = nameActions(m_state, m_account);
    if (std::find(actions.begin(), actions.end(), action) == actions.end())
        return;
    if (action == NameAction::Delete) {
        deleteAccountName(m_window.record(), m_state, m_account);
        refresh();
        return;
    }
    enableEdits(true);
    const QString name = action == NameAction::Change ? m_nameButton->text() : QString();
    m_edits[0]->setText(QString::fromLatin1(accountTextFromInput(name.toStdU32String()).c_str()));
    m_edits[0]->setFocus();
    m_edits[0]->selectAll();
    updateStoreButtons();
}

void AccountRightsPageWidget::updateStoreButtons() {
    const auto text = [this](std::size_t e) { return m_edits[e]->text().toStdString(); };
    // The name box counts too: an emptied name never gets as far as the record.
    m_store->setEnabled(m_edits[0]->isEnabled() && accountStoreEnabled(text(0), text(1), text(2)));
    m_archiveStore->setEnabled(archiveStoreEnabled(text(3), text(4)));
}

void AccountRightsPageWidget::store() {
    const auto text = [this](std::size_t e) { return m_edits[e]->text().toStdString(); };
    switch (storeAccount(m_window.record(), m_state, m_account, text(0), text(1), text(2))) {
    case AccountStore::DuplicateName:
        m_edits[0]->setFocus();
        m_edits[0]->selectAll();
        showStatus(tr("Another account is already called %1: choose another name. Nothing was "
                      "stored.")
                       .arg(m_edits[0]->text()));
        return;
    case AccountStore::DuplicatePassword:
        m_edits[1]->setFocus();
        m_edits[1]->selectAll();
        showStatus(tr("Another account already uses this password: choose another one. Nothing "
                      "was stored."));
        return;
    case AccountStore::Refused:
        showStatus(tr("The logged-in account may not change the name or password of %1: nothing "
                      "was stored.")
                       .arg(label(m_account)));
        return;
    case AccountStore::Stored:
        break;
    }
    const QString name = m_edits[0]->text();
    for (std::size_t e = 0; e < 3; ++e)
        m_edits[e]->clear();
    enableEdits(false);
    refresh();
    showStatus(tr("Name %1 and its password stored for %2; OK sends them to the recorder.")
                   .arg(name, label(m_account)));
}

void AccountRightsPageWidget::showStatus(const QString& text) {
    m_status->setText(text);
}

void AccountRightsPageWidget::storeArchive() {
    if (storeArchivePassword(m_window.record(), m_state, m_edits[3]->text().toStdString(),
                             m_edits[4]->text().toStdString())) {
        m_edits[3]->clear();
        m_edits[4]->clear();
        showStatus(tr("Archive password stored; OK sends it to the recorder."));
    } else {
        showStatus(tr("The archive password was not stored: the logged-in account may not "
                      "change it, or the confirmation differs."));
    }
    updateStoreButtons();
}

ChannelSwitchPageWidget* AccountRightsPageWidget::liveChannelPage() const {
    return dynamic_cast<ChannelSwitchPageWidget*>(m_livePage.data());
}

void AccountRightsPageWidget::openLiveChannels() {
    m_window.closeChooser();
    const std::size_t account = m_account;
    auto* page = new ChannelSwitchPageWidget(
        m_window, QStringLiteral("liveChannelPage"), tr("Live channels of %1").arg(label(account)),
        {{tr("On"), 1}, {tr("Off"), 0}},
        [this, account](unsigned ch) {
            return m_window.record().value(configField("live_channel"), 16 * account + ch);
        },
        [this, account](const ChannelSelection& s, unsigned ch, std::uint32_t v) {
            setLiveChannel(m_window.record(), m_state, account, s, ch, v != 0);
        },
        this, [this] { closeLiveChannels(); });
    // A logged-in account above 1 changes nothing here: not even the selection boxes.
    if (!mayEditLiveChannels(m_state.user)) {
        page->panel()->allCheckButton()->setEnabled(false);
        page->panel()->returnAllButton()->setEnabled(false);
    }
    m_main->hide();
    m_column->addWidget(page);
    page->show();
    m_livePage = page;
}

void AccountRightsPageWidget::closeLiveChannels() {
    if (m_livePage) {
        m_livePage->hide();
        m_livePage->setObjectName(QString());
        m_livePage->deleteLater();
    }
    m_livePage = nullptr;
    m_main->show();
    refresh(); // the same account stays selected
}

} // namespace kalder
