#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kalder {

// How long a front end waits before each try to get a lost connection back: 1, 2, 5, 10 and
// then 30 seconds for every further try. Tests hand in a shorter list; the last step repeats.
class ReconnectSchedule {
public:
    ReconnectSchedule();
    // `steps` must not be empty; an empty list keeps the default steps.
    explicit ReconnectSchedule(std::vector<std::chrono::milliseconds> steps);

    // The wait before try `attempt` (1 for the first try after the loss).
    std::chrono::milliseconds delayBefore(unsigned attempt) const;

    // A comma list of milliseconds ("100,200,500"); nothing when the text is not such a list.
    static std::optional<ReconnectSchedule> fromMillisecondsText(std::string_view text);

private:
    std::vector<std::chrono::milliseconds> m_steps;
};

// How a session ended, as a front end that reconnects sees it.
enum class SessionEnding : std::uint8_t {
    ConnectionLost, // the peer closed, the receive limit ran out, the recorder fell silent
    ConnectFailed,  // the connect itself failed (refused, timed out, unreachable)
    LoginRefused,   // BYE48 (wrong id or password, no login right, ...)
    NotServed,      // a product family this client does not serve
    Operator,       // the operator (or the command) disconnected
};

// Whether a front end with reconnecting turned on tries again after `ending`.
constexpr bool reconnectAfter(SessionEnding ending) {
    return ending == SessionEnding::ConnectionLost || ending == SessionEnding::ConnectFailed;
}

} // namespace kalder
