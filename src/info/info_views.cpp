#include "info/info_views.h"

#include "resources/resource_library.h"
#include "session/info_exchange.h"
#include "session/recorder_session.h"
#include "wire/status_info_record.h"

namespace kalder {

namespace {

std::string text(int id) {
    return resourceText(id).toStdString();
}

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
        m_system->setRows(systemRows(facts, text));
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
