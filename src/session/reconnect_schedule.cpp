#include "session/reconnect_schedule.h"

#include <charconv>

namespace kalder {

namespace {

const std::vector<std::chrono::milliseconds>& defaultReconnectSteps() {
    using namespace std::chrono_literals;
    static const std::vector<std::chrono::milliseconds> steps{1s, 2s, 5s, 10s, 30s};
    return steps;
}

} // namespace

ReconnectSchedule::ReconnectSchedule() : m_steps(defaultReconnectSteps()) {}

ReconnectSchedule::ReconnectSchedule(std::vector<std::chrono::milliseconds> steps)
    : m_steps(steps.empty() ? defaultReconnectSteps() : std::move(steps)) {}

std::chrono::milliseconds ReconnectSchedule::delayBefore(unsigned attempt) const {
    const std::size_t index = attempt == 0 ? 0 : attempt - 1;
    return index < m_steps.size() ? m_steps[index] : m_steps.back();
}

std::optional<ReconnectSchedule> ReconnectSchedule::fromMillisecondsText(std::string_view text) {
    std::vector<std::chrono::milliseconds> steps;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        long value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (error != std::errc() || end != item.data() + item.size() || value < 0 ||
            value > 3600L * 1000)
            return std::nullopt;
        steps.emplace_back(value);
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
        if (text.empty())
            return std::nullopt;
    }
    if (steps.empty())
        return std::nullopt;
    return ReconnectSchedule(std::move(steps));
}

} // namespace kalder
