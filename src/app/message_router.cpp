#include "app/message_router.h"

#include "session/window_message.h"

#include <QLoggingCategory>

namespace kalder {

namespace {
Q_LOGGING_CATEGORY(lcRouter, "kalder.app")
} // namespace

void MessageRouter::route(int message, const char* feature, Handler handler) {
    if (!m_routes.try_emplace(message, Entry{feature, std::move(handler)}).second)
        m_duplicates.push_back(message);
}

void MessageRouter::route(std::initializer_list<int> messages, const char* feature,
                          const Handler& handler) {
    for (const int message : messages)
        route(message, feature, handler);
}

void MessageRouter::ignore(int message, const char* why) {
    route(message, why, Handler());
}

void MessageRouter::routeClose(int target, const char* feature, std::function<void()> close) {
    if (!m_closeRoutes.try_emplace(target, CloseEntry{feature, std::move(close)}).second)
        m_duplicates.push_back(WindowMessage::CloseWindow);
}

bool MessageRouter::dispatch(const WindowMessageEvent& message) const {
    if (message.message() == WindowMessage::CloseWindow) {
        const auto found = m_closeRoutes.find(static_cast<int>(message.wParam()));
        if (found == m_closeRoutes.end()) {
            // A target whose window this client does not have needs nothing.
            return false;
        }
        found->second.close();
        return true;
    }
    const auto found = m_routes.find(message.message());
    if (found == m_routes.end()) {
        qCDebug(lcRouter) << "no route for window message" << message.message();
        return false;
    }
    if (found->second.handler)
        found->second.handler(message);
    return true;
}

QString MessageRouter::routeOf(int message) const {
    const auto found = m_routes.find(message);
    if (found == m_routes.end())
        return {};
    return found->second.handler ? QString::fromLatin1(found->second.feature)
                                 : QStringLiteral("ignored");
}

QString MessageRouter::closeRouteOf(int target) const {
    const auto found = m_closeRoutes.find(target);
    return found == m_closeRoutes.end() ? QString() : QString::fromLatin1(found->second.feature);
}

std::vector<int> MessageRouter::unrouted(std::span<const int> messages) const {
    std::vector<int> missing;
    for (const int message : messages)
        if (!m_routes.contains(message) &&
            !(message == WindowMessage::CloseWindow && !m_closeRoutes.empty()))
            missing.push_back(message);
    return missing;
}

} // namespace kalder
