#pragma once

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <optional>

namespace kalder {

// Keeps the desktop's screen saver off while pictures show (live view or playback), through the
// desktop's screen-saver inhibit interface (org.freedesktop.ScreenSaver on the session bus). With
// no session bus or no such service nothing happens. Calls are asynchronous: the GUI thread never
// waits for the bus. GUI thread only; the destructor releases an inhibition still held.
//
// The bus is used only when its address takes a connection: the client never has a bus
// launched for it, and with no bus at all it starts none of the bus library's threads.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverInhibitor(QObject* parent = nullptr);
    ~ScreenSaverInhibitor() override;

    // Asks for the inhibition (true) or releases it (false); repeated calls with the same value
    // do nothing.
    void setInhibited(bool inhibited);
    bool inhibited() const { return m_wanted; }
    // The desktop's cookie while an inhibition is held; for tests and diagnostics.
    std::optional<std::uint32_t> cookie() const { return m_cookie; }

    // Whether the session bus of `address` (DBUS_SESSION_BUS_ADDRESS; empty: the user's bus
    // at <runtimeDir>/bus) takes a connection now. Unix socket addresses are tried; another
    // kind of address is left to the bus library and counts as there.
    static bool sessionBusThere(const QByteArray& address, const QByteArray& runtimeDir);

signals:
    // The bus answered (or refused) an Inhibit call.
    void answered();

private:
    void release();

    bool m_wanted = false;
    bool m_pending = false; // an Inhibit call is on its way
    bool m_busChecked = false;
    bool m_busThere = false;
    std::optional<std::uint32_t> m_cookie;
};

} // namespace kalder
