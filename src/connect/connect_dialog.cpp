#include "connect/connect_dialog.h"

#include "connect/address_lookup.h"
#include "connect/connect_dialog_rules.h"
#include "connect/connect_history_window.h"
#include "connect/site_window.h"
#include "files/connect_history.h"
#include "net/name_resolver.h"
#include "ui/ipv4_address_edit.h"
#include "ui/theme.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QVBoxLayout>

#include <chrono>

namespace kalder {

namespace {

std::uint32_t systemSeconds() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

std::string toBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString addressHint() {
    return ConnectDialog::tr("The recorder's IPv4 address (four numbers from 0 to 255 separated "
                             "by dots) or its host name");
}

QString limitHint() {
    return ConnectDialog::tr("up to %1 characters").arg(kSessionFieldBytes);
}

} // namespace

std::filesystem::path ConnectDialog::historyFileIn(const QString& dataFolder) {
    return std::filesystem::path(QFile::encodeName(dataFolder).toStdString()) / "Log" /
           "ConnectInfo100.log";
}

QString ConnectDialog::addressKey() {
    return QStringLiteral("IPSetup/ServerIP/IP");
}
QString ConnectDialog::portKey() {
    return QStringLiteral("IPSetup/ServerIP/Port");
}

ConnectDialog::ConnectDialog(QSettings& store, std::filesystem::path historyFile,
                             std::uint8_t opacity, QWidget* parent, Clock clock,
                             NameLookup::Resolver resolver)
    : QDialog(parent), m_store(store), m_historyFile(std::move(historyFile)), m_opacity(opacity),
      m_clock(clock ? std::move(clock) : Clock(systemSeconds)),
      m_lookup(new AddressLookup(std::move(resolver), this)) {
    connect(m_lookup, &AddressLookup::resolved, this, &ConnectDialog::finishAccept);
    setWindowTitle(tr("Connect"));
    setWindowOpacity(m_opacity / 255.0);
    buildWidgets();
    applyTheme(*this);
    loadLastRecorder();
    updateWidgets();
    // Connected only now, so that filling the dialog does not clear the site text it just set.
    connect(m_address, &QLineEdit::textChanged, m_siteText, &QLineEdit::clear);
    connect(m_port, &QLineEdit::textChanged, m_siteText, &QLineEdit::clear);
}

ConnectDialog::~ConnectDialog() {
    // A resolver call cannot be interrupted and waiting for it here would freeze the window that
    // deletes the dialog: the lookup stays with that window until the call has answered.
    m_lookup->abandon();
    if (m_lookup->busy() && parent())
        m_lookup->outliveOwner(parent());
}

void ConnectDialog::buildWidgets() {
    auto edit = [this](const char* name, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(maxLength);
        return e;
    };
    m_address = edit("address", kConnectTextLength);
    m_address->setToolTip(addressHint());
    // Digits and dots alone make an IPv4 address: a part over 255 is marked as it is typed.
    connect(m_address, &QLineEdit::textEdited, this, [this](const QString& text) {
        markFieldProblem(*m_address, dottedAddressProblem(toBytes(text)), addressHint());
    });
    m_port = edit("port", 5);
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), m_port));
    // The session's fields hold 16 bytes. Longer input is not cut here: OK refuses it and says
    // why, and the limit is written beside the edits.
    m_userId = edit("userId", kConnectTextLength);
    m_password = edit("password", kConnectTextLength);
    m_password->setEchoMode(QLineEdit::Password);
    m_userId->setToolTip(limitHint());
    m_password->setToolTip(limitHint());
    m_siteText = edit("siteText", kConnectTextLength);

    auto button = [this](const char* name, const QString& caption) {
        QPushButton* b = makeDialogButton(caption, this);
        b->setObjectName(QLatin1String(name));
        // Enter presses the focused button (Tab to Cancel and Enter cancels), else OK.
        b->setAutoDefault(true);
        return b;
    };
    m_defaultButton = button("defaultButton", tr("Default"));
    m_defaultButton->setCheckable(true); // shown pressed in default-port mode
    m_modifyButton = button("modifyButton", tr("Modify"));
    m_historyButton = button("historyButton", QStringLiteral(">"));
    // The caption is the arrow the operator knows; the name says what it opens.
    m_historyButton->setAccessibleName(tr("Connection history"));
    m_historyButton->setToolTip(tr("Connection history: choose a recorder connected before"));
    m_okButton = button("okButton", tr("OK"));
    m_okButton->setDefault(true);
    m_cancelButton = button("cancelButton", tr("Cancel"));
    m_sitesButton = button("sitesButton", tr("Sites\u2026"));
    m_sitesButton->setToolTip(tr("Sites: connect all the recorders of a site at once"));
    m_sitesButton->hide();

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setWordWrap(true);
    m_message->hide();

    // Each edit is named by its label (its buddy), for assistive technology and tests alike.
    auto buddyLabel = [this](const QString& caption, QLineEdit* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(caption);
        return label;
    };
    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(buddyLabel(tr("Address"), m_address), row, 0);
    grid->addWidget(m_address, row, 1, 1, 3);
    ++row;
    grid->addWidget(buddyLabel(tr("Port"), m_port), row, 0);
    grid->addWidget(m_port, row, 1);
    grid->addWidget(m_defaultButton, row, 2);
    grid->addWidget(m_modifyButton, row, 3);
    ++row;
    grid->addWidget(buddyLabel(tr("User ID"), m_userId), row, 0);
    grid->addWidget(m_userId, row, 1);
    grid->addWidget(new QLabel(limitHint(), this), row, 2, 1, 2);
    ++row;
    grid->addWidget(buddyLabel(tr("Password"), m_password), row, 0);
    grid->addWidget(m_password, row, 1);
    grid->addWidget(new QLabel(limitHint(), this), row, 2, 1, 2);
    ++row;
    grid->addWidget(buddyLabel(tr("Site"), m_siteText), row, 0);
    grid->addWidget(m_siteText, row, 1, 1, 2);
    grid->addWidget(m_historyButton, row, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_sitesButton);
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_message);
    layout->addLayout(buttons);

    connect(m_defaultButton, &QPushButton::clicked, this, &ConnectDialog::setDefaultPortMode);
    connect(m_modifyButton, &QPushButton::clicked, this, &ConnectDialog::setTypedPortMode);
    connect(m_historyButton, &QPushButton::clicked, this, &ConnectDialog::openHistory);
    connect(m_okButton, &QPushButton::clicked, this, &ConnectDialog::tryAccept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_sitesButton, &QPushButton::clicked, this, &ConnectDialog::openSites);
}

void ConnectDialog::loadLastRecorder() {
    m_address->setText(m_store.value(addressKey()).toString().left(kConnectTextLength));
    const QVariant storedPort = m_store.value(portKey());
    bool havePort = false;
    const uint port = storedPort.toUInt(&havePort);
    std::uint32_t lookupPort = kDefaultRecorderPort;
    if (storedPort.isValid() && havePort) {
        m_defaultPortMode = false;
        m_port->setText(QString::number(port));
        m_port->setEnabled(true);
        m_defaultButton->setChecked(false);
        lookupPort = port;
    } else {
        // Default-port mode: the edit stays empty and disabled until Modify.
        m_defaultPortMode = true;
        m_port->clear();
        m_port->setEnabled(false);
        m_defaultButton->setChecked(true);
    }
    const ConnectHistory history(m_historyFile);
    if (auto entry = history.find(toBytes(m_address->text()), lookupPort))
        m_siteText->setText(QString::fromUtf8(entry->siteText));
}

void ConnectDialog::updateWidgets() {
    const bool idle = !resolving();
    const std::initializer_list<QWidget*> inputs = {
        m_address,      m_userId,        m_password, m_siteText,   m_defaultButton,
        m_modifyButton, m_historyButton, m_okButton, m_sitesButton};
    for (QWidget* w : inputs)
        w->setEnabled(idle);
    m_port->setEnabled(idle && !m_defaultPortMode);
    // Why OK was refused stands out on the plain and on the themed window alike; the resolving
    // status is ordinary text.
    QPalette messagePalette = m_message->palette();
    messagePalette.setColor(QPalette::WindowText,
                            idle ? warningColour(*this) : palette().color(QPalette::WindowText));
    m_message->setPalette(messagePalette);
    if (!idle) {
        m_message->setText(tr("Resolving %1...").arg(QString::fromUtf8(m_pending->typedAddress)));
        m_message->show();
    }
}

void ConnectDialog::setDefaultPortMode() {
    m_defaultPortMode = true;
    m_port->setText(QString::number(kDefaultRecorderPort));
    m_port->setEnabled(false);
    m_defaultButton->setChecked(true);
}

void ConnectDialog::setTypedPortMode() {
    m_defaultPortMode = false;
    m_defaultButton->setChecked(false);
    m_port->clear();
    m_port->setEnabled(true);
    m_port->setFocus();
}

void ConnectDialog::applyHistoryEntry(const ConnectEntry& entry) {
    m_address->setText(QString::fromUtf8(entry.address).left(kConnectTextLength));
    m_port->setText(QString::number(entry.port));
    // Last: the two lines above clear the site text.
    m_siteText->setText(QString::fromUtf8(entry.siteText).left(kConnectTextLength));
}

void ConnectDialog::openHistory() {
    ConnectHistoryWindow window(m_historyFile, m_opacity, this);
    if (window.exec() == QDialog::Accepted) {
        if (const auto entry = window.chosen())
            applyHistoryEntry(*entry);
    }
}

void ConnectDialog::setSitesOffered(bool offered) {
    m_sitesButton->setVisible(offered);
}

void ConnectDialog::openSites() {
    SiteWindow window(m_store, m_opacity, this);
    if (window.exec() != QDialog::Accepted || !window.request())
        return;
    // A site leaves the single recorder's last address, port and history as they were.
    m_siteRequest = window.request();
    emit siteChosen(*m_siteRequest);
    done(kSiteChosen);
}

void ConnectDialog::refuse(QLineEdit* field, const QString& reason, bool clearField) {
    if (clearField)
        field->clear();
    else
        field->selectAll();
    field->setFocus();
    m_message->setText(reason);
    m_message->show();
}

void ConnectDialog::tryAccept() {
    const auto port = acceptedPort(m_defaultPortMode, toBytes(m_port->text()));
    if (!port) {
        refuse(m_port, tr("The port must be a number from 1 to %1.").arg(kHighestRecorderPort),
               true);
        return;
    }
    const std::string typedAddress = toBytes(m_address->text().left(kConnectTextLength));
    if (const QString problem = dottedAddressProblem(typedAddress); !problem.isEmpty()) {
        markFieldProblem(*m_address, problem, addressHint());
        refuse(m_address, problem, false);
        return;
    }
    const std::string userId = toBytes(m_userId->text());
    const std::string password = toBytes(m_password->text());
    if (!fitsSessionField(userId)) {
        refuse(m_userId, tr("The user ID is limited to %1 characters.").arg(kSessionFieldBytes),
               false);
        return;
    }
    if (!fitsSessionField(password)) {
        refuse(m_password, tr("The password is limited to %1 characters.").arg(kSessionFieldBytes),
               false);
        return;
    }
    const std::string siteText = toBytes(m_siteText->text().left(kConnectTextLength));
    m_message->hide();

    m_pending = ConnectRequest{};
    m_pending->typedAddress = typedAddress;
    m_pending->port = *port;
    m_pending->userId = userId;
    m_pending->password = password;
    m_pending->siteText = siteText;
    if (isHostName(typedAddress)) {
        // Nothing is stored or recorded until the name has resolved: Cancel leaves no trace.
        m_lookup->start(typedAddress);
        updateWidgets();
        m_cancelButton->setFocus();
        return;
    }
    finishAccept(resolveRecorderAddress(typedAddress));
}

void ConnectDialog::finishAccept(const std::string& address) {
    if (!m_pending)
        return;
    ConnectRequest request = std::move(*m_pending);
    m_pending.reset();
    updateWidgets();
    m_message->hide();

    m_store.setValue(addressKey(), QString::fromUtf8(request.typedAddress));
    m_store.setValue(portKey(), uint(request.port));
    m_store.sync();

    // An empty address would write an entry that reads as the end of the list and hide every
    // entry after it, so only real addresses are remembered.
    if (!request.typedAddress.empty())
        ConnectHistory(m_historyFile)
            .record(request.typedAddress, request.port, request.siteText, m_clock());

    // A name that did not resolve still closes with OK: the empty address makes the connect fail.
    request.address = address;
    m_request = std::move(request);
    accept();
}

void ConnectDialog::reject() {
    if (m_pending) {
        m_lookup->abandon();
        m_pending.reset();
        updateWidgets();
        m_message->hide();
    }
    QDialog::reject();
}

} // namespace kalder
