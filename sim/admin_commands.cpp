#include "sim/sim_server.h"
#include "sim/talk_store.h"
#include "wire/message_catalogue.h"

#include <charconv>
#include <sstream>
#include <string_view>

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

constexpr long long kInt32Min = -2147483648LL;
constexpr long long kInt32Max = 2147483647LL;

// One admin command line: the command word and its arguments, the client it is aimed at and
// the usage text of the command.
struct AdminRequest {
    SimServer& server;
    const std::vector<std::string>& words;
    std::optional<int> only; // "@ID": that client only
    std::string_view usage;

    std::size_t argc() const { return words.size() - 1; }
    const std::string& arg(std::size_t i) const { return words[i + 1]; }
    RecorderModel& model() const { return server.model(); }
    // Argument `i` is an integer in [low, high].
    bool number(std::size_t i, long long low, long long high, long long& out) const {
        return i < argc() && toInt(arg(i), out) && out >= low && out <= high;
    }
    std::string usageError() const { return "error usage: " + std::string(usage); }
    // Posts `action` to the clients addressed; "ok N" with how many.
    std::string toClients(const ConnectionAction& action) const {
        return affected(server.forEachClient([&](ClientConnection& c) { c.post(action); }, only));
    }
};

using AdminHandler = std::string (*)(const AdminRequest&);

struct AdminCommand {
    std::string_view name;
    std::string_view usage; // what follows "error usage: " when the arguments do not fit
    AdminHandler handler;
};

// ---- the recorder's state -----------------------------------------------------------------

std::string adminPing(const AdminRequest&) {
    return "ok pong";
}

std::string adminClients(const AdminRequest& r) {
    const auto list = r.server.describeClients();
    std::string reply = "ok " + std::to_string(list.size());
    for (const auto& item : list)
        reply += " " + item;
    return reply;
}

std::string adminLoggedIn(const AdminRequest& r) {
    return affected(r.server.forEachClient([](ClientConnection&) {}, r.only));
}

std::string adminQuit(const AdminRequest& r) {
    r.server.requestQuit();
    return "ok";
}

std::string adminTitle(const AdminRequest& r) {
    long long channel = 0;
    if (!r.number(0, 1, 16, channel) || r.argc() < 2)
        return r.usageError();
    std::string text = r.arg(1);
    for (std::size_t i = 2; i < r.argc(); ++i)
        text += " " + r.arg(i);
    r.model().setTitle(static_cast<unsigned>(channel - 1), text);
    return "ok";
}

std::string adminCovert(const AdminRequest& r) {
    long long channel = 0;
    bool on = false;
    if (!r.number(0, 1, 16, channel) || r.argc() < 2 || !toOnOff(r.arg(1), on))
        return r.usageError();
    r.model().setCovert(static_cast<unsigned>(channel - 1), on);
    return "ok";
}

std::string adminVideoLoss(const AdminRequest& r) {
    long long channel = 0;
    if (!r.number(0, 1, 16, channel))
        return r.usageError();
    const auto index = static_cast<unsigned>(channel - 1);
    bool ok;
    if (r.argc() >= 2) {
        bool on = false;
        if (!toOnOff(r.arg(1), on))
            return r.usageError();
        ok = r.model().setVideoLoss(index, on);
    } else {
        ok = r.model().toggleVideoLoss(index);
    }
    return ok ? "ok" : "error no such channel";
}

std::string adminRight(const AdminRequest& r) {
    long long account = 0, value = 0;
    if (!r.number(0, 0, 7, account) || r.argc() < 3 || !r.number(2, 0, 255, value))
        return r.usageError();
    std::size_t index = 9;
    for (std::size_t i = 0; i < 8; ++i)
        if (r.arg(1) == rightName(i))
            index = i;
    if (r.arg(1) == "level")
        index = 8;
    if (index == 9)
        return "error unknown right '" + r.arg(1) + "'";
    r.model().setRight(static_cast<std::size_t>(account), index, static_cast<std::uint8_t>(value));
    return "ok";
}

std::string adminLiveView(const AdminRequest& r) {
    long long account = 0, channel = 0;
    bool on = false;
    if (!r.number(0, 0, 7, account) || !r.number(1, 1, 16, channel) || r.argc() < 3 ||
        !toOnOff(r.arg(2), on))
        return r.usageError();
    r.model().setLiveView(static_cast<std::size_t>(account), static_cast<unsigned>(channel - 1),
                          on);
    return "ok";
}

std::string adminAudioChannel(const AdminRequest& r) {
    long long channel = 0;
    if (!r.number(0, 0, 16, channel) || !r.model().setAudioChannel(static_cast<unsigned>(channel)))
        return r.usageError();
    return "ok";
}

std::string adminRecord(const AdminRequest& r) {
    bool on = false;
    if (r.argc() < 1 || !toOnOff(r.arg(0), on))
        return r.usageError();
    r.model().setRecording(on);
    return "ok";
}

std::string adminTime(const AdminRequest& r) {
    long long seconds = 0;
    if (!r.number(0, 0, 4294967295LL, seconds))
        return r.usageError();
    r.model().setRecorderTime(static_cast<std::uint32_t>(seconds));
    return "ok";
}

std::string adminProduct(const AdminRequest& r) {
    long long product = 0;
    if (!r.number(0, 0, 255, product))
        return r.usageError();
    r.model().setProductNumber(static_cast<std::uint8_t>(product));
    return "ok";
}

// ---- the recorder's answers ---------------------------------------------------------------

std::string adminConfigCrc(const AdminRequest& r) {
    if (r.argc() < 1 || (r.arg(0) != "bad" && r.arg(0) != "good"))
        return r.usageError();
    r.model().configStore().setBadCrc(r.arg(0) == "bad");
    return "ok";
}

std::string adminConfigNack(const AdminRequest& r) {
    long long code = 0;
    if (!r.number(0, kInt32Min, kInt32Max, code))
        return r.usageError();
    r.model().configStore().setUpdateNack(static_cast<std::int32_t>(code));
    return "ok";
}

// A message by its catalogue name or its id: the recorder leaves that request unanswered, or
// never sends that record or reply.
std::string adminMute(const AdminRequest& r) {
    bool on = true;
    if (r.argc() < 1 || r.argc() > 2 || (r.argc() == 2 && !toOnOff(r.arg(1), on)))
        return r.usageError();
    std::optional<std::uint16_t> id;
    for (const MessageInfo& m : messageCatalogue())
        if (r.arg(0) == m.name)
            id = m.id;
    long long number = 0;
    if (!id && r.number(0, 0, 0xFFFF, number))
        id = static_cast<std::uint16_t>(number);
    if (!id)
        return "error unknown message '" + r.arg(0) + "'";
    setMessageMuted(r.model(), *id, on);
    return "ok";
}

std::string adminSearchFault(const AdminRequest& r) {
    const bool two = r.argc() >= 2;
    const auto query = two ? parseSearchQuery(r.arg(0)) : std::nullopt;
    const auto fault = two ? parseSearchFault(r.arg(1)) : std::nullopt;
    if ((!query && !(two && r.arg(0) == "all")) || !fault)
        return r.usageError();
    for (SearchQuery q : {SearchQuery::Month, SearchQuery::Day, SearchQuery::Event})
        if (!query || *query == q)
            r.model().search().setFault(q, *fault);
    return "ok";
}

std::string adminSearchRequests(const AdminRequest& r) {
    return "ok " + r.model().search().counters();
}

// ---- faults of the connections ------------------------------------------------------------

using ActionKind = ConnectionAction::Kind;

std::string adminPush(const AdminRequest& r) {
    unsigned bits = r.argc() == 0 ? kAllStatusPushes : 0;
    for (std::size_t i = 0; i < r.argc(); ++i) {
        const auto named = pushBits(r.arg(i));
        if (!named)
            return "error unknown record '" + r.arg(i) + "'";
        bits |= *named;
    }
    return r.toClients({ActionKind::Push, static_cast<std::int32_t>(bits)});
}

std::string adminStall(const AdminRequest& r) {
    bool on = true;
    if (r.argc() >= 1 && !toOnOff(r.arg(0), on))
        return r.usageError();
    return affected(r.server.forEachClient([&](ClientConnection& c) { c.setStalled(on); }, r.only));
}

std::string adminBye(const AdminRequest& r) {
    long long reason = 0;
    if (!r.number(0, kInt32Min, kInt32Max, reason))
        return r.usageError();
    return r.toClients({ActionKind::Bye, static_cast<std::int32_t>(reason)});
}

std::string adminDrop(const AdminRequest& r) {
    return r.toClients({ActionKind::Drop});
}

std::string adminCloseMidFragment(const AdminRequest& r) {
    return r.toClients({ActionKind::CloseMidFragment});
}

std::string adminBadMagic(const AdminRequest& r) {
    return r.toClients({ActionKind::BadMagic});
}

std::string adminOversizedFrame(const AdminRequest& r) {
    return r.toClients({ActionKind::Oversized});
}

std::string adminUnknownId(const AdminRequest& r) {
    long long id = 500, length = 100;
    if ((r.argc() >= 1 && !r.number(0, 0, 511, id)) ||
        (r.argc() >= 2 && !r.number(1, 0, 65535, length)))
        return r.usageError();
    ConnectionAction action{ActionKind::UnknownId};
    action.id = static_cast<std::uint16_t>(id);
    action.length = static_cast<std::uint32_t>(length);
    return r.toClients(action);
}

std::string adminCodeFFFF(const AdminRequest& r) {
    return r.toClients({ActionKind::CodeFFFF});
}

std::string adminNotice257(const AdminRequest& r) {
    return r.toClients({ActionKind::Notice257});
}

std::string adminFloodBye(const AdminRequest& r) {
    long long count = 0, reason = 99; // a reason no table lists
    if (!r.number(0, 1, 1000000, count) ||
        (r.argc() >= 2 && !r.number(1, kInt32Min, kInt32Max, reason)))
        return r.usageError();
    ConnectionAction action{ActionKind::FloodBye, static_cast<std::int32_t>(reason)};
    action.count = static_cast<std::uint32_t>(count);
    return r.toClients(action);
}

std::string adminFloodCount(const AdminRequest& r, ActionKind kind) {
    long long count = 0;
    if (!r.number(0, 1, 1000000, count))
        return r.usageError();
    ConnectionAction action{kind};
    action.count = static_cast<std::uint32_t>(count);
    return r.toClients(action);
}

std::string adminFloodHelloAck(const AdminRequest& r) {
    return adminFloodCount(r, ActionKind::FloodHelloAck);
}

std::string adminFloodChannelInfo(const AdminRequest& r) {
    return adminFloodCount(r, ActionKind::FloodChannelInfo);
}

std::string adminKeyFrameFlood(const AdminRequest& r) {
    long long channel = 0, seconds = 0, bytes = 700000;
    if (!r.number(0, 1, 16, channel) || !r.number(1, 1, 3600, seconds) ||
        (r.argc() >= 3 && !r.number(2, 1000, 4000000, bytes)))
        return r.usageError();
    ConnectionAction action{ActionKind::KeyFrameFlood, static_cast<std::int32_t>(channel - 1)};
    action.count = static_cast<std::uint32_t>(seconds);
    action.length = static_cast<std::uint32_t>(bytes);
    return r.toClients(action);
}

std::string adminHugePicture(const AdminRequest& r) {
    long long channel = 0, count = 0, width = 4096, height = 2304;
    if (!r.number(0, 1, 16, channel) || !r.number(1, 1, 1000, count) ||
        (r.argc() >= 3 &&
         (!r.number(2, 16, 8192, width) || r.argc() < 4 || !r.number(3, 16, 8192, height))))
        return r.usageError();
    ConnectionAction action{ActionKind::HugePicture, static_cast<std::int32_t>(channel - 1)};
    action.count = static_cast<std::uint32_t>(count);
    action.width = static_cast<unsigned>(width) & ~1u;
    action.height = static_cast<unsigned>(height) & ~1u;
    return r.toClients(action);
}

std::string adminLiveNack(const AdminRequest& r) {
    long long code = 1;
    if (r.argc() >= 1 && !r.number(0, kInt32Min, kInt32Max, code))
        return r.usageError();
    return r.toClients({ActionKind::LiveNack, static_cast<std::int32_t>(code)});
}

// The commands of this file; sim/README.md lists them with their replies.
constexpr AdminCommand kAdminCommands[] = {
    {"ping", "ping", adminPing},
    {"clients", "clients", adminClients},
    {"logged-in", "logged-in", adminLoggedIn},
    {"quit", "quit", adminQuit},
    {"push", "push [rights netlive db sysetc dst rec all]", adminPush},
    {"title", "title CH TEXT", adminTitle},
    {"covert", "covert CH 0|1", adminCovert},
    {"videoloss", "videoloss CH [0|1]", adminVideoLoss},
    {"right", "right ACCOUNT NAME VALUE", adminRight},
    {"liveview", "liveview ACCOUNT CH 0|1", adminLiveView},
    {"audio-channel", "audio-channel CH (0: none)", adminAudioChannel},
    {"record", "record on|off", adminRecord},
    {"time", "time SECONDS", adminTime},
    {"config-crc", "config-crc good|bad", adminConfigCrc},
    {"config-nack", "config-nack CODE (0: accept updates)", adminConfigNack},
    {"mute", "mute MESSAGE|ID [on|off]", adminMute},
    {"product", "product N", adminProduct},
    {"stall", "stall [on|off]", adminStall},
    {"bye", "bye REASON", adminBye},
    {"drop", "drop", adminDrop},
    {"close-mid-fragment", "close-mid-fragment", adminCloseMidFragment},
    {"bad-magic", "bad-magic", adminBadMagic},
    {"oversized-frame", "oversized-frame", adminOversizedFrame},
    {"unknown-id", "unknown-id [ID [LENGTH]]", adminUnknownId},
    {"code-ffff", "code-ffff", adminCodeFFFF},
    {"notice257", "notice257", adminNotice257},
    {"flood-bye", "flood-bye COUNT [REASON]", adminFloodBye},
    {"flood-hello-ack", "flood-hello-ack COUNT", adminFloodHelloAck},
    {"flood-channel-info", "flood-channel-info COUNT", adminFloodChannelInfo},
    {"keyframe-flood", "keyframe-flood CH SECONDS [BYTES]", adminKeyFrameFlood},
    {"search-fault", "search-fault month|day|event|all off|empty|oversize|CODE", adminSearchFault},
    {"search-requests", "search-requests", adminSearchRequests},
    {"huge-picture", "huge-picture CH COUNT [WIDTH HEIGHT]", adminHugePicture},
    {"live-nack", "live-nack [CODE]", adminLiveNack},
};

const AdminCommand* findAdminCommand(const std::string& name) {
    for (const AdminCommand& command : kAdminCommands)
        if (command.name == name)
            return &command;
    return nullptr;
}

// The commands answered elsewhere, asked in this order before the table: remote playback,
// backup, the time server and the device side; talk comes after it.
std::optional<std::string> runDelegatedCommand(SimServer& server,
                                               const std::vector<std::string>& words,
                                               std::optional<int> only) {
    const std::string& cmd = words[0];
    if (cmd.rfind("play-", 0) == 0)
        return runPlaybackAdminCommand(server, words, only);
    if (cmd.rfind("backup-", 0) == 0)
        return runBackupAdminCommand(server, words, only);
    if (auto reply = runTimeServerAdminCommand(server.timeServer(), words))
        return reply;
    return runDeviceAdminCommand(server.model().device(), words);
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
    if (auto reply = runDelegatedCommand(server, words, only))
        return *reply;
    const std::string& cmd = words[0];
    if (const AdminCommand* command = findAdminCommand(cmd))
        return command->handler({server, words, only, command->usage});
    if (cmd.rfind("talk-", 0) == 0)
        return runTalkCommand(words);
    return "error unknown command '" + cmd + "'";
}

} // namespace kalder::sim
