#include "app/screen_saver_inhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace kalder {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

QDBusMessage call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject* parent) : QObject(parent) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    m_wanted = false;
    release();
}

void ScreenSaverInhibitor::setInhibited(bool inhibited) {
    if (inhibited == m_wanted)
        return;
    m_wanted = inhibited;
    if (!inhibited) {
        release();
        return;
    }
    if (m_pending || m_cookie)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage message = call(QStringLiteral("Inhibit"));
    message << QStringLiteral("Kalder") << QStringLiteral("Video is showing");
    m_pending = true;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        m_pending = false;
        if (!reply.isError()) {
            m_cookie = reply.value();
            // Pictures stopped while the answer travelled: give it back at once.
            if (!m_wanted)
                release();
        }
        emit answered();
    });
}

void ScreenSaverInhibitor::release() {
    if (!m_cookie)
        return;
    QDBusMessage message = call(QStringLiteral("UnInhibit"));
    message << *m_cookie;
    m_cookie.reset();
    // No answer is awaited: the desktop also drops the inhibition when this client goes away.
    QDBusConnection::sessionBus().send(message);
}

} // namespace kalder
