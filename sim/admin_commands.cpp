#include "sim/sim_server.h"
#include "sim/talk_store.h"
#include "wire/message_catalogue.h"

#include <charconv>
#include <sstream>

namespace kalder::sim {

namespace {

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

bool toInt(const std::string& text, long long& out) {
    const char* end = text.data() + text.size();
    const int base =
        text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 16 : 10;
    const char* begin = base == 16 ? text.data() + 2 : text.data();
    const auto r = std::from_chars(begin, end, out, base);
    return r.ec == std::errc() && r.ptr == end;
}

bool toOnOff(const std::string& text, bool& out) {
    if (text == "1" || text == "on" || text == "yes") {
        out = true;
        return true;
    }
    if (text == "0" || text == "off" || text == "no") {
        out = false;
        return true;
    }
    return false;
}

std::optional<unsigned> pushBits(const std::string& name) {
    if (name == "rights")
        return ModelChange::Rights;
    if (name == "netlive" || name == "liveview")
        return ModelChange::LiveView;
    if (name == "db" || name == "channels")
        return ModelChange::Channels;
    if (name == "sysetc")
        return ModelChange::SysEtc;
    if (name == "dst")
        return ModelChange::Dst;
    if (name == "rec" || name == "recording")
        return ModelChange::Recording;
    if (name == "all")
        return kAllStatusPushes;
    return std::nullopt;
}

std::string affected(unsigned count) {
    return "ok " + std::to_string(count);
}

} // namespace

std::string runAdminCommand(SimServer& server, const std::string& line) {
    std::vector<std::string> words = splitWords(line);
    if (words.empty())
        return "error empty command";
    // "@ID command ..." aims a client command at one client only.
    std::optional<int> only;
    if (words[0].size() > 1 && words[0][0] == '@') {
        long long id = 0;
        if (!toInt(words[0].substr(1), id))
            return "error bad client id";
        only = static_cast<int>(id);
        words.erase(words.begin());
        if (words.empty())
            return "error empty command";
    }
    const std::string& cmd = words[0];
    if (cmd.rfind("play-", 0) == 0)
        return runPlaybackAdminCommand(server, words, only);
    if (cmd.rfind("backup-", 0) == 0)
        return runBackupAdminCommand(server, words, only);
    const std::size_t argc = words.size() - 1;
    auto arg = [&](std::size_t i) -> const std::string& { return words[i + 1]; };
    auto number = [&](std::size_t i, long long low, long long high, long long& out) {
        return i < argc && toInt(arg(i), out) && out >= low && out <= high;
    };
    auto toClients = [&](ConnectionAction action) {
        return affected(server.forEachClient([&](ClientConnection& c) { c.post(action); }, only));
    };
    RecorderModel& model = server.model();
    using Kind = ConnectionAction::Kind;
    long long a = 0, b = 0, c = 0, d = 0;

    if (auto reply = runTimeServerAdminCommand(server.timeServer(), words))
        return *reply;
    if (auto reply = runDeviceAdminCommand(model.device(), words))
        return *reply;
    if (cmd == "ping")
        return "ok pong";
    if (cmd == "clients") {
        std::string reply = "ok";
        const auto list = server.describeClients();
        reply += " " + std::to_string(list.size());
        for (const auto& item : list)
            reply += " " + item;
        return reply;
    }
    if (cmd == "logged-in") {
        return affected(server.forEachClient([](ClientConnection&) {}, only));
    }
    if (cmd == "quit") {
        server.requestQuit();
        return "ok";
    }
    if (cmd == "push") {
        unsigned bits = 0;
        if (argc == 0)
            bits = kAllStatusPushes;
        for (std::size_t i = 0; i < argc; ++i) {
            const auto b2 = pushBits(arg(i));
            if (!b2)
                return "error unknown record '" + arg(i) + "'";
            bits |= *b2;
        }
        ConnectionAction action{Kind::Push, static_cast<std::int32_t>(bits)};
        return toClients(action);
    }
    if (cmd == "title") {
        if (!number(0, 1, 16, a) || argc < 2)
            return "error usage: title CH TEXT";
        std::string text = arg(1);
        for (std::size_t i = 2; i < argc; ++i)
            text += " " + arg(i);
        model.setTitle(static_cast<unsigned>(a - 1), text);
        return "ok";
    }
    if (cmd == "covert") {
        bool on = false;
        if (!number(0, 1, 16, a) || argc < 2 || !toOnOff(arg(1), on))
            return "error usage: covert CH 0|1";
        model.setCovert(static_cast<unsigned>(a - 1), on);
        return "ok";
    }
    if (cmd == "videoloss") {
        if (!number(0, 1, 16, a))
            return "error usage: videoloss CH [0|1]";
        bool ok;
        if (argc >= 2) {
            bool on = false;
            if (!toOnOff(arg(1), on))
                return "error usage: videoloss CH [0|1]";
            ok = model.setVideoLoss(static_cast<unsigned>(a - 1), on);
        } else {
            ok = model.toggleVideoLoss(static_cast<unsigned>(a - 1));
        }
        return ok ? "ok" : "error no such channel";
    }
    if (cmd == "right") {
        if (!number(0, 0, 7, a) || argc < 3 || !number(2, 0, 255, c))
            return "error usage: right ACCOUNT NAME VALUE";
        std::size_t index = 9;
        for (std::size_t i = 0; i < 8; ++i)
            if (arg(1) == rightName(i))
                index = i;
        if (arg(1) == "level")
            index = 8;
        if (index == 9)
            return "error unknown right '" + arg(1) + "'";
        model.setRight(static_cast<std::size_t>(a), index, static_cast<std::uint8_t>(c));
        return "ok";
    }
    if (cmd == "liveview") {
        bool on = false;
        if (!number(0, 0, 7, a) || !number(1, 1, 16, b) || argc < 3 || !toOnOff(arg(2), on))
            return "error usage: liveview ACCOUNT CH 0|1";
        model.setLiveView(static_cast<std::size_t>(a), static_cast<unsigned>(b - 1), on);
        return "ok";
    }
    if (cmd == "audio-channel") {
        if (!number(0, 0, 16, a) || !model.setAudioChannel(static_cast<unsigned>(a)))
            return "error usage: audio-channel CH (0: none)";
        return "ok";
    }
    if (cmd.rfind("talk-", 0) == 0)
        return runTalkCommand(words);
    if (cmd == "record") {
        bool on = false;
        if (argc < 1 || !toOnOff(arg(0), on))
            return "error usage: record on|off";
        model.setRecording(on);
        return "ok";
    }
    if (cmd == "time") {
        if (!number(0, 0, 4294967295LL, a))
            return "error usage: time SECONDS";
        model.setRecorderTime(static_cast<std::uint32_t>(a));
        return "ok";
    }
    if (cmd == "config-crc") {
        bool bad = false;
        if (argc < 1 || (arg(0) != "bad" && arg(0) != "good"))
            return "error usage: config-crc good|bad";
        bad = arg(0) == "bad";
        model.configStore().setBadCrc(bad);
        return "ok";
    }
    if (cmd == "config-nack") {
        if (!number(0, -2147483648LL, 2147483647LL, a))
            return "error usage: config-nack CODE (0: accept updates)";
        model.configStore().setUpdateNack(static_cast<std::int32_t>(a));
        return "ok";
    }
    if (cmd == "mute") {
        // A message by its catalogue name or its id: the recorder leaves that request
        // unanswered, or never sends that record or reply.
        bool on = true;
        if (argc < 1 || argc > 2 || (argc == 2 && !toOnOff(arg(1), on)))
            return "error usage: mute MESSAGE|ID [on|off]";
        std::optional<std::uint16_t> id;
        for (const MessageInfo& m : messageCatalogue())
            if (arg(0) == m.name)
                id = m.id;
        if (!id && number(0, 0, 0xFFFF, a))
            id = static_cast<std::uint16_t>(a);
        if (!id)
            return "error unknown message '" + arg(0) + "'";
        setMessageMuted(model, *id, on);
        return "ok";
    }
    if (cmd == "product") {
        if (!number(0, 0, 255, a))
            return "error usage: product N";
        model.setProductNumber(static_cast<std::uint8_t>(a));
        return "ok";
    }
    if (cmd == "stall") {
        bool on = true;
        if (argc >= 1 && !toOnOff(arg(0), on))
            return "error usage: stall [on|off]";
        return affected(
            server.forEachClient([&](ClientConnection& cl) { cl.setStalled(on); }, only));
    }
    if (cmd == "bye") {
        if (!number(0, -2147483648LL, 2147483647LL, a))
            return "error usage: bye REASON";
        return toClients({Kind::Bye, static_cast<std::int32_t>(a)});
    }
    if (cmd == "drop")
        return toClients({Kind::Drop});
    if (cmd == "close-mid-fragment")
        return toClients({Kind::CloseMidFragment});
    if (cmd == "bad-magic")
        return toClients({Kind::BadMagic});
    if (cmd == "oversized-frame")
        return toClients({Kind::Oversized});
    if (cmd == "unknown-id") {
        a = 500;
        b = 100;
        if (argc >= 1 && !number(0, 0, 511, a))
            return "error usage: unknown-id [ID [LENGTH]]";
        if (argc >= 2 && !number(1, 0, 65535, b))
            return "error usage: unknown-id [ID [LENGTH]]";
        ConnectionAction action{Kind::UnknownId};
        action.id = static_cast<std::uint16_t>(a);
        action.length = static_cast<std::uint32_t>(b);
        return toClients(action);
    }
    if (cmd == "code-ffff")
        return toClients({Kind::CodeFFFF});
    if (cmd == "notice257")
        return toClients({Kind::Notice257});
    if (cmd == "flood-bye") {
        b = 99; // a reason no table lists
        if (!number(0, 1, 1000000, a) || (argc >= 2 && !number(1, -2147483648LL, 2147483647LL, b)))
            return "error usage: flood-bye COUNT [REASON]";
        ConnectionAction action{Kind::FloodBye, static_cast<std::int32_t>(b)};
        action.count = static_cast<std::uint32_t>(a);
        return toClients(action);
    }
    if (cmd == "flood-hello-ack" || cmd == "flood-channel-info") {
        if (!number(0, 1, 1000000, a))
            return "error usage: " + cmd + " COUNT";
        ConnectionAction action{cmd == "flood-hello-ack" ? Kind::FloodHelloAck
                                                         : Kind::FloodChannelInfo};
        action.count = static_cast<std::uint32_t>(a);
        return toClients(action);
    }
    if (cmd == "keyframe-flood") {
        c = 700000;
        if (!number(0, 1, 16, a) || !number(1, 1, 3600, b) ||
            (argc >= 3 && !number(2, 1000, 4000000, c)))
            return "error usage: keyframe-flood CH SECONDS [BYTES]";
        ConnectionAction action{Kind::KeyFrameFlood, static_cast<std::int32_t>(a - 1)};
        action.count = static_cast<std::uint32_t>(b);
        action.length = static_cast<std::uint32_t>(c);
        return toClients(action);
    }
    if (cmd == "search-fault") {
        const auto query = argc >= 2 ? parseSearchQuery(arg(0)) : std::nullopt;
        const auto fault = argc >= 2 ? parseSearchFault(arg(1)) : std::nullopt;
        if ((!query && !(argc >= 2 && arg(0) == "all")) || !fault)
            return "error usage: search-fault month|day|event|all off|empty|oversize|CODE";
        for (SearchQuery q : {SearchQuery::Month, SearchQuery::Day, SearchQuery::Event})
            if (!query || *query == q)
                model.search().setFault(q, *fault);
        return "ok";
    }
    if (cmd == "search-requests")
        return "ok " + model.search().counters();
    if (cmd == "huge-picture") {
        c = 4096;
        d = 2304;
        if (!number(0, 1, 16, a) || !number(1, 1, 1000, b) ||
            (argc >= 3 && (!number(2, 16, 8192, c) || argc < 4 || !number(3, 16, 8192, d))))
            return "error usage: huge-picture CH COUNT [WIDTH HEIGHT]";
        ConnectionAction action{Kind::HugePicture, static_cast<std::int32_t>(a - 1)};
        action.count = static_cast<std::uint32_t>(b);
        action.width = static_cast<unsigned>(c) & ~1u;
        action.height = static_cast<unsigned>(d) & ~1u;
        return toClients(action);
    }
    if (cmd == "live-nack") {
        a = 1;
        if (argc >= 1 && !number(0, -2147483648LL, 2147483647LL, a))
            return "error usage: live-nack [CODE]";
        return toClients({Kind::LiveNack, static_cast<std::int32_t>(a)});
    }
    return "error unknown command '" + cmd + "'";
}

} // namespace kalder::sim
