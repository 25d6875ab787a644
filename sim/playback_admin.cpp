// The admin commands of remote playback: knobs and the credit report.
#include "sim/sim_server.h"
#include "sim/sim_bytes.h"

#include <charconv>
#include <cstdio>

namespace kalder::sim {

std::string runPlaybackAdminCommand(SimServer& server, const std::vector<std::string>& words,
                                    std::optional<int> only) {
    const std::string& cmd = words[0];
    const std::size_t argc = words.size() - 1;
    long long value = 0;
    auto toClients = [&](const std::function<void(PlaybackStream&)>& fn) {
        const unsigned n =
            server.forEachClient([&](ClientConnection& c) { fn(c.playback()); }, only);
        return "ok " + std::to_string(n);
    };
    if (cmd == "play-credits") {
        // Summed over the clients addressed.
        PlaybackCreditReport sum;
        server.forEachClient(
            [&](ClientConnection& c) {
                const PlaybackCreditReport r = c.playback().report();
                sum.runs += r.runs;
                sum.granted += r.granted;
                sum.sent += r.sent;
                sum.overGrants += r.overGrants;
                sum.underGrants += r.underGrants;
                sum.playing = sum.playing || r.playing;
                sum.done = sum.done || r.done;
            },
            only);
        char text[200];
        std::snprintf(text, sizeof text,
                      "ok runs=%llu granted=%llu sent=%llu over=%llu under=%llu playing=%d "
                      "done=%d",
                      static_cast<unsigned long long>(sum.runs),
                      static_cast<unsigned long long>(sum.granted),
                      static_cast<unsigned long long>(sum.sent),
                      static_cast<unsigned long long>(sum.overGrants),
                      static_cast<unsigned long long>(sum.underGrants), sum.playing ? 1 : 0,
                      sum.done ? 1 : 0);
        return text;
    }
    if (cmd == "play-nack" || cmd == "play-fail") {
        if (argc < 1 || !wholeNumber(words[1], value) || value < -2147483648LL ||
            value > 2147483647LL)
            return "error usage: " + cmd + " CODE";
        const auto code = static_cast<std::int32_t>(value);
        if (cmd == "play-nack")
            return toClients([&](PlaybackStream& p) { p.armRefusal(code); });
        return toClients([&](PlaybackStream& p) { p.fail(code); });
    }
    if (cmd == "play-header") {
        if (argc < 1 || (words[1] != "on" && words[1] != "off"))
            return "error usage: play-header on|off";
        const bool on = words[1] == "on";
        return toClients([&](PlaybackStream& p) { p.setRecordingHeader(on); });
    }
    if (cmd == "play-speed") {
        if (argc < 1 || !wholeNumber(words[1], value) || value < 0 || value > 63)
            return "error usage: play-speed CODE";
        const auto code = static_cast<unsigned>(value);
        return toClients([&](PlaybackStream& p) { p.setForwardSpeedCode(code); });
    }
    if (cmd == "play-reverse-speed") {
        if (argc < 1 || !wholeNumber(words[1], value) || value < 0 || value > 63)
            return "error usage: play-reverse-speed CODE";
        const auto code = static_cast<unsigned>(value);
        return toClients([&](PlaybackStream& p) { p.setReverseSpeedCode(code); });
    }
    return "error unknown command '" + cmd + "'";
}

} // namespace kalder::sim
