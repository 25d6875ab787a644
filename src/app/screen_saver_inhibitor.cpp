#include "app/screen_saver_inhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kalder {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

QDBusMessage call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

// Connects a stream socket to a unix socket address: a path, or an abstract name (a leading
// NUL). True when something listens there.
bool unixSocketAnswers(const QByteArray& name, bool abstract) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (name.isEmpty() || name.size() + offset >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path + offset, name.constData(), std::size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto length =
        socklen_t(offsetof(sockaddr_un, sun_path) + offset + name.size() + (abstract ? 0 : 1));
    const bool answered = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), length) == 0;
    ::close(fd);
    return answered;
}

// The value of `key` in one bus address's "key=value,key=value" list (values are not
// escaped in the unix addresses the bus daemons print).
QByteArray addressValue(const QByteArray& entries, const QByteArray& key) {
    for (const QByteArray& entry : entries.split(',')) {
        const qsizetype equals = entry.indexOf('=');
        if (equals > 0 && entry.left(equals) == key)
            return entry.mid(equals + 1);
    }
    return {};
}

} // namespace

bool ScreenSaverInhibitor::sessionBusThere(const QByteArray& address,
                                           const QByteArray& runtimeDir) {
    if (address.isEmpty())
        return !runtimeDir.isEmpty() && unixSocketAnswers(runtimeDir + "/bus", false);
    // Addresses are tried in order, as the bus library does.
    for (const QByteArray& one : address.split(';')) {
        const qsizetype colon = one.indexOf(':');
        if (colon <= 0)
            continue;
        if (one.left(colon) != "unix")
            return true;
        const QByteArray entries = one.mid(colon + 1);
        if (const QByteArray path = addressValue(entries, "path"); !path.isEmpty()) {
            if (unixSocketAnswers(path, false))
                return true;
        } else if (const QByteArray name = addressValue(entries, "abstract"); !name.isEmpty()) {
            if (unixSocketAnswers(name, true))
                return true;
        } else {
            return true; // a unix address of another form (a directory, a runtime bus)
        }
    }
    return false;
}

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
    // Asked once: a bus that was not there when pictures first showed is not looked for again.
    if (!m_busChecked) {
        m_busChecked = true;
        m_busThere =
            sessionBusThere(qgetenv("DBUS_SESSION_BUS_ADDRESS"), qgetenv("XDG_RUNTIME_DIR"));
    }
    if (!m_busThere)
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
