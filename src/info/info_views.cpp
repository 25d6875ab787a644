#include "info/info_views.h"

#include "resources/resource_library.h"
#include "session/info_exchange.h"
#include "session/recorder_session.h"
#include "wire/status_info_record.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <iterator>

namespace kalder {

namespace {

std::string text(int id) {
    return resourceText(id).toStdString();
}

// The slots of the view's five firmware rows, in their order.
constexpr std::size_t kViewFirmwareSlots[] = {0, 3, 4, 5, 6};
// Said for a value the recorder or the connection left empty.
constexpr int kTextNotSet = 7307;

} // namespace

InfoViews::InfoViews(QWidget* parent) : QObject(parent), m_parent(parent) {}

InfoViews::~InfoViews() {
    closeAll();
}

void InfoViews::setSession(RecorderSession* session) {
    m_session = session;
}

void InfoViews::setHost(QWidget* host) {
    closeAll();
    m_host = host;
    m_hosted = host != nullptr;
}

InfoListView* InfoViews::makeView(int titleId, std::vector<int> widths) {
    if (m_hosted && !m_host)
        return nullptr;
    auto* view = new InfoListView(resourceText(titleId), std::move(widths),
                                  m_hosted ? m_host.data() : m_parent, !m_hosted);
    view->setAttribute(Qt::WA_DeleteOnClose);
    if (m_hosted)
        view->move(0, 0);
    return view;
}

std::vector<InfoRow> InfoViews::systemViewRows(const SystemFacts& facts) {
    std::vector<InfoRow> rows = systemRows(facts, text);
    // An empty cell reads as a fault; a recorder reached without a site name says so.
    for (InfoRow& row : rows)
        if (row.label == text(InfoText::Name) && row.value.empty())
            row.value = resourceText(kTextNotSet).toStdString();
    return rows;
}

QString InfoViews::buildTimeToolTip(std::uint32_t buildTime) {
    // As the row does: a negative count is 0, the time is UTC.
    const qint64 seconds = std::max<qint64>(static_cast<std::int32_t>(buildTime), 0);
    return QStringLiteral("Built %1 UTC")
        .arg(QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc())
                 .toString(QStringLiteral("yyyy-MM-dd hh:mm")));
}

void InfoViews::openSystemInfo() {
    if (m_status)
        m_status->close();
    if (m_system) {
        m_system->show();
        m_system->raise();
        return;
    }
    m_system = makeView(InfoText::SystemTitle, {130, 140, 120});
    if (!m_system)
        return;
    m_system->setObjectName(QStringLiteral("systemInfoView"));
    // Filled once, and only while a session exists.
    if (m_session != nullptr) {
        const SystemFacts facts{m_session->address(), m_session->port(), m_session->siteText(),
                                m_session->hello()};
        const std::vector<InfoRow> rows = systemViewRows(facts);
        m_system->setRows(rows);
        // The build times keep the recorder's "YYYY  MMDD  hhmm" columns; each one's tip reads
        // it as a date.
        const std::size_t firstFirmware = rows.size() - std::size(kViewFirmwareSlots);
        for (std::size_t i = 0; i < std::size(kViewFirmwareSlots); ++i)
            m_system->setCellToolTip(static_cast<int>(firstFirmware + i), 1,
                                     buildTimeToolTip(facts.hello.firmVer[kViewFirmwareSlots[i]]));
    }
    m_system->show();
}

void InfoViews::openStatusInfo() {
    if (m_system)
        m_system->close();
    if (m_status) {
        m_status->show();
        m_status->raise();
        return;
    }
    if (m_hosted && !m_host)
        return; // no place to show the answer
    if (m_session != nullptr && m_session->loggedIn())
        m_session->info().requestStatus();
}

void InfoViews::statusReplyReady(int outcome) {
    if (m_session == nullptr)
        return;
    const auto reply = m_session->info().takeStatusReply();
    if (outcome != InfoExchange::kReplyReady || !reply || m_status)
        return;
    m_status = makeView(InfoText::StatusTitle, {130, 170});
    if (!m_status)
        return; // its window has gone: the reply is dropped
    m_status->setObjectName(QStringLiteral("statusInfoView"));
    m_status->setRows(statusRows(decodeStatusInfo(*reply), m_session->channelNum(), text));
    m_status->show();
}

void InfoViews::closeAll() {
    if (m_system)
        m_system->close();
    if (m_status)
        m_status->close();
}

} // namespace kalder
