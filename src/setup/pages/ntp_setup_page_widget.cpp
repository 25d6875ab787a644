#include "setup/pages/ntp_setup_page_widget.h"

#include "setup/pages/serial_page_controls.h"
#include "setup/pages/time_server_ask.h"
#include "setup/setup_window.h"
#include "ui/ipv4_address_edit.h"
#include "ui/theme.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <ctime>

namespace kalder {

namespace {

const char* const kEnableEntries[] = {"Off", "On"};
const char* const kServerEntries[] = {"First server", "Server name", "Server address"};

} // namespace

NtpSetupPageWidget::NtpSetupPageWidget(SetupWindow& window)
    : m_window(window), m_rules(regionalDstRules(window.context().tables)),
      m_base(static_cast<std::uint32_t>(std::time(nullptr))) {
    setObjectName(QStringLiteral("ntpSetupPage"));
    m_since.start();
    const char* const views[] = {"Time Zone", "Time Server"};
    for (int v = 0; v < 2; ++v) {
        QPushButton* b = makeDialogButton(QString::fromLatin1(views[v]), this);
        b->setObjectName(QStringLiteral("view%1").arg(v));
        b->setCheckable(true);
        b->setGeometry(4 + v * 99, 4, 96, 24);
        connect(b, &QPushButton::clicked, this, [this, v] { showView(static_cast<View>(v)); });
        m_viewButtons[v] = b;
    }
    auto label = [this](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, y, w, 22);
        return l;
    };

    // Time zone view.
    QLabel* zoneLabel = label(tr("Time zone"), 10, 50, 100);
    m_zone = new ValueButton(QStringLiteral("zone"), tr("Time zone"), this);
    m_zone->setGeometry(120, 50, 120, 22);
    zoneLabel->setBuddy(m_zone);
    connect(m_zone, &QPushButton::clicked, this, [this] {
        m_window.openListChooser(m_zone, toStringList(zoneEntries(m_window.context().version)), 380,
                                 true, [this](int entry) { chooseZoneEntry(entry); });
    });
    QLabel* previewLabel = label(tr("Recorder time"), 10, 90, 100);
    m_preview = label(QString(), 120, 86, 270);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAccessibleName(tr("Recorder time in this zone"));
    QFont big = m_preview->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    m_preview->setFont(big);
    m_preview->setMinimumHeight(30);
    m_preview->resize(270, 30);
    m_source = label(QString(), 120, 120, 270);
    m_source->setObjectName(QStringLiteral("previewSource"));
    m_source->setAccessibleName(tr("Preview based on"));
    m_zoneView = {zoneLabel, m_zone, previewLabel, m_preview, m_source};

    // Time server view.
    QLabel* enableLabel = label(tr("NTP"), 10, 50, 100);
    m_enable = new ValueButton(QStringLiteral("enable"), tr("NTP"), this);
    m_enable->setGeometry(120, 50, 120, 22);
    enableLabel->setBuddy(m_enable);
    connect(m_enable, &QPushButton::clicked, this, [this] {
        m_window.openListChooser(m_enable, {kEnableEntries[0], kEnableEntries[1]}, 120, false,
                                 [this](int entry) { chooseEnabled(entry); });
    });
    QLabel* choiceLabel = label(tr("Time server"), 10, 84, 100);
    m_choice = new ValueButton(QStringLiteral("serverChoice"), tr("Time server"), this);
    m_choice->setGeometry(120, 84, 160, 22);
    choiceLabel->setBuddy(m_choice);
    connect(m_choice, &QPushButton::clicked, this, [this] {
        m_window.openListChooser(m_choice,
                                 {kServerEntries[0], kServerEntries[1], kServerEntries[2]}, 160,
                                 false, [this](int entry) { chooseServer(entry); });
    });
    QLabel* serverLabel = label(tr("Server"), 10, 118, 100);
    m_default = new QLineEdit(this);
    m_default->setObjectName(QStringLiteral("defaultServer"));
    m_default->setAccessibleName(tr("First time server"));
    m_default->setReadOnly(true);
    m_default->setGeometry(120, 118, 270, 22);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("serverName"));
    m_name->setAccessibleName(tr("Time server name"));
    m_name->setMaxLength(static_cast<int>(kNtpServerNameMax));
    m_name->setGeometry(120, 118, 270, 22);
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString& text) {
        setNtpServerName(m_window.record(), text.toLatin1().toStdString());
    });
    m_addressRow = new QWidget(this);
    m_addressRow->setGeometry(120, 116, 270, 60);
    auto* row = new QVBoxLayout(m_addressRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_address = new Ipv4AddressEdit(tr("Time server address"), m_addressRow);
    m_address->setObjectName(QStringLiteral("serverAddress"));
    m_addressStatus = new QLabel(m_addressRow);
    m_addressStatus->setObjectName(QStringLiteral("serverAddressStatus"));
    m_addressStatus->setWordWrap(true);
    m_addressStatus->setAccessibleName(tr("Time server address check"));
    m_address->setStatusLabel(m_addressStatus);
    connect(m_address, &Ipv4AddressEdit::addressEdited, this,
            [this](const std::array<std::uint8_t, 4>& bytes) {
                setNtpAddress(m_window.record(), bytes);
            });
    row->addWidget(m_address);
    row->addWidget(m_addressStatus);
    serverLabel->setBuddy(m_address);
    m_serverRows = {choiceLabel, m_choice, serverLabel};
    m_serverView = {enableLabel, m_enable,  choiceLabel, m_choice,
                    serverLabel, m_default, m_name,      m_addressRow};

    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, [this] { showPreview(); });
    tick->start(1000);
    m_ask = new TimeServerAsk(this);
    connect(m_ask, &TimeServerAsk::answered, this, &NtpSetupPageWidget::takeAnswer);
    showView(View::TimeZone);
}

NtpSetupPageWidget::~NtpSetupPageWidget() {
    // A query still under way would make the page's end wait for the resolver: the application
    // keeps it until its call has ended.
    if (m_ask->busy())
        m_ask->outliveOwner(QCoreApplication::instance());
}

bool NtpSetupPageWidget::asking() const {
    return m_ask->running();
}

void NtpSetupPageWidget::showView(View view) {
    m_view = view;
    for (int v = 0; v < 2; ++v)
        m_viewButtons[v]->setChecked(v == static_cast<int>(view));
    refresh();
}

void NtpSetupPageWidget::chooseZoneEntry(int entry) {
    const std::vector<unsigned> order = zoneListOrder(m_window.context().version);
    if (entry < 0 || static_cast<std::size_t>(entry) >= order.size())
        return;
    const unsigned zone = order[static_cast<std::size_t>(entry)];
    chooseZone(m_window.record(), zone);
    if (zone >= 1)
        askTimeServer();
    refresh();
}

void NtpSetupPageWidget::chooseEnabled(int entry) {
    if (entry < 0 || entry > 1)
        return;
    setNtpEnabled(m_window.record(), entry == 1);
    refresh();
}

void NtpSetupPageWidget::chooseServer(int entry) {
    if (entry < 0 || entry > 2)
        return;
    setNtpServerChoice(m_window.record(), static_cast<unsigned>(entry));
    refresh();
}

void NtpSetupPageWidget::askTimeServer() {
    // Until the server answers, the local clock stands in.
    m_base = static_cast<std::uint32_t>(std::time(nullptr));
    m_since.restart();
    m_baseKind = Base::LocalClock;
    m_source->setText(tr("Asking the time server..."));
    m_ask->start(defaultTimeServers());
}

void NtpSetupPageWidget::takeAnswer(std::uint32_t answer) {
    m_baseKind = answer != 0 ? Base::TimeServer : Base::LocalClock;
    m_base = answer != 0 ? answer : static_cast<std::uint32_t>(std::time(nullptr));
    m_since.restart();
    m_source->setText(m_baseKind == Base::TimeServer ? tr("Time server")
                                                     : tr("Local clock (no time server)"));
    showPreview();
}

void NtpSetupPageWidget::showPreview() {
    const ConfigRecord& record = m_window.record();
    const std::int64_t now = std::int64_t(m_base) + m_since.elapsed() / 1000;
    const std::optional<std::int64_t> wall =
        previewTime(static_cast<std::uint32_t>(std::clamp<std::int64_t>(now, 0, 0xFFFFFFFFll)),
                    readNtp(record).zone, readDst(record), m_rules);
    m_preview->setText(wall ? QString::fromStdString(
                                  formatPreview(*wall, record.value(configField("date_format"))))
                            : QString());
}

void NtpSetupPageWidget::refresh() {
    const NtpState s = readNtp(m_window.record());
    const bool zoneView = m_view == View::TimeZone;
    for (QWidget* w : m_zoneView)
        w->setVisible(zoneView);
    for (QWidget* w : m_serverView)
        w->setVisible(!zoneView);
    m_zone->setValueText(zoneText(s.zone));
    m_enable->setValueText(QString::fromLatin1(kEnableEntries[s.enabled ? 1 : 0]));
    m_choice->setValueText(s.serverChoice <= 2 ? QString::fromLatin1(kServerEntries[s.serverChoice])
                                               : QStringLiteral("-"));
    if (m_source->text().isEmpty())
        m_source->setText(tr("Local clock"));
    m_default->setText(QString::fromLatin1(s.defaultServer.c_str()));
    if (m_name->text() != QString::fromLatin1(s.server.c_str()))
        m_name->setText(QString::fromLatin1(s.server.c_str()));
    m_address->setAddress(s.address);
    if (!zoneView) {
        // With NTP off the server rows hide; otherwise the row of the chosen server shows.
        for (QWidget* w : m_serverRows)
            w->setVisible(s.enabled);
        m_default->setVisible(s.enabled && s.serverChoice == 0);
        m_name->setVisible(s.enabled && s.serverChoice == 1);
        m_addressRow->setVisible(s.enabled && s.serverChoice == 2);
    }
    showPreview();
}

} // namespace kalder
