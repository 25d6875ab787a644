#include "setup/pages/account_rights_page_widget.h"

#include "setup/setup_window.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalder {

namespace {

// Captions of the boxes, top to bottom (the permission each edits: kPermissionOfBox).
const char* const kBoxCaptions[] = {"Stop recording", "Covert view", "Remote setup", "Login",
                                    "Search",         "Restart",     "PTZ control",  "Backup"};

} // namespace

AccountRightsPageWidget::AccountRightsPageWidget(SetupWindow& window)
    : m_window(window), m_state(readAccountRights(window.record())) {
    setObjectName(QStringLiteral("accountRightsPage"));
    auto* column = new QVBoxLayout(this);
    auto* label = new QLabel(tr("Account"), this);
    m_accountButton = makeDialogButton(QString(), this);
    m_accountButton->setObjectName(QStringLiteral("accountChooser"));
    label->setBuddy(m_accountButton);
    connect(m_accountButton, &QPushButton::clicked, this, [this] {
        QStringList labels;
        for (std::size_t a = 0; a < kSetupAccounts; ++a)
            labels << QString::fromLatin1(accountLabel(m_state, a).c_str());
        m_window.openListChooser(m_accountButton, labels, 160, false,
                                 [this](int i) { selectAccount(static_cast<std::size_t>(i)); });
    });
    column->addWidget(label);
    column->addWidget(m_accountButton);
    for (std::size_t b = 0; b < kSetupPermissions; ++b) {
        auto* box = new QCheckBox(QString::fromLatin1(kBoxCaptions[b]), this);
        box->setObjectName(QStringLiteral("permission%1").arg(b));
        connect(box, &QCheckBox::clicked, this, [this, b](bool on) { boxClicked(b, on); });
        column->addWidget(box);
        m_boxes[b] = box;
    }
    column->addStretch();
    refresh();
}

void AccountRightsPageWidget::selectAccount(std::size_t account) {
    if (account >= kSetupAccounts)
        return;
    m_account = account;
    refresh();
}

void AccountRightsPageWidget::refresh() {
    const QString text = QString::fromLatin1(accountLabel(m_state, m_account).c_str());
    m_accountButton->setText(text);
    m_accountButton->setAccessibleName(tr("Account") + QLatin1Char(' ') + text);
    for (std::size_t b = 0; b < kSetupPermissions; ++b)
        m_boxes[b]->setChecked(m_state.permissions[m_account][kPermissionOfBox[b]]);
}

void AccountRightsPageWidget::boxClicked(std::size_t box, bool checked) {
    const std::size_t permission = kPermissionOfBox[box];
    if (writePermission(m_window.record(), m_account, permission, checked))
        m_state.permissions[m_account][permission] = checked;
    // A permission the page may not change shows its stored value again.
    m_boxes[box]->setChecked(m_state.permissions[m_account][permission]);
}

} // namespace kalder
