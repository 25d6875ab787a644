#pragma once

#include <QObject>

#include <cstdint>
#include <optional>

namespace kalder {

// Keeps the desktop's screen saver off while pictures show (live view or playback), through the
// desktop's screen-saver inhibit interface (org.freedesktop.ScreenSaver on the session bus). With
// no session bus or no such service nothing happens. Calls are asynchronous: the GUI thread never
// waits for the bus. GUI thread only; the destructor releases an inhibition still held.
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

signals:
    // The bus answered (or refused) an Inhibit call.
    void answered();

private:
    void release();

    bool m_wanted = false;
    bool m_pending = false; // an Inhibit call is on its way
    std::optional<std::uint32_t> m_cookie;
};

} // namespace kalder
