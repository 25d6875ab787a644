// The admin commands of backup transfers: knobs and the report.
#include "sim/sim_server.h"
#include "sim/sim_bytes.h"

#include <charconv>
#include <cstdio>

namespace kalder::sim {

namespace {

bool toCode(const std::string& text, std::int32_t& out) {
    long long value = 0;
    if (!wholeNumber(text, value) || value < -2147483648LL || value > 2147483647LL)
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

bool toWord(const std::string& text, std::uint32_t& out) {
    long long value = 0;
    if (!wholeNumber(text, value) || value < 0 || value > 0xFFFFFFFFLL)
        return false;
    out = static_cast<std::uint32_t>(value);
    return true;
}

} // namespace

std::string runBackupAdminCommand(SimServer& server, const std::vector<std::string>& words,
                                  std::optional<int> only) {
    const std::string& cmd = words[0];
    const std::size_t argc = words.size() - 1;
    auto toClients = [&](const std::function<void(BackupStream&)>& fn) {
        const unsigned n = server.forEachClient([&](ClientConnection& c) { fn(c.backup()); }, only);
        return "ok " + std::to_string(n);
    };
    if (cmd == "backup-status") {
        const BackupReport sum = BackupStream::report();
        std::string channels;
        for (std::size_t ch = 0; ch < sum.runFrames.size(); ++ch)
            channels += (ch ? "," : "") + std::to_string(sum.runFrames[ch]);
        char text[200];
        std::snprintf(text, sizeof text,
                      "ok sized=%llu kbytes=%u runs=%llu frames=%llu bytes=%llu offs=%llu "
                      "done=%d channels=",
                      static_cast<unsigned long long>(sum.sized), unsigned(sum.kbytes),
                      static_cast<unsigned long long>(sum.runs),
                      static_cast<unsigned long long>(sum.frames),
                      static_cast<unsigned long long>(sum.bytes),
                      static_cast<unsigned long long>(sum.offs), sum.done ? 1 : 0);
        return text + channels;
    }
    if (cmd == "backup-nack") {
        std::int32_t code = 0;
        std::uint32_t first = 0, second = 0;
        if (argc < 1 || !toCode(words[1], code) || (argc >= 2 && !toWord(words[2], first)) ||
            (argc >= 3 && !toWord(words[3], second)))
            return "error usage: backup-nack CODE [MB MB]";
        BackupStream::armRefusal(code, first, second);
        return "ok";
    }
    if (cmd == "backup-fail") {
        std::int32_t code = 0;
        if (argc < 1 || !toCode(words[1], code))
            return "error usage: backup-fail CODE";
        return toClients([&](BackupStream& b) { b.fail(code); });
    }
    if (cmd == "backup-rate") {
        std::uint32_t rate = 0;
        if (argc < 1 || !toWord(words[1], rate))
            return "error usage: backup-rate KBYTES_PER_SECOND";
        BackupStream::setRate(rate);
        return "ok";
    }
    if (cmd == "backup-size") {
        std::uint32_t kbytes = 0;
        if (argc < 1 || !toWord(words[1], kbytes))
            return "error usage: backup-size KBYTES";
        BackupStream::setAnsweredSize(kbytes);
        return "ok";
    }
    return "error unknown command '" + cmd + "'";
}

} // namespace kalder::sim
