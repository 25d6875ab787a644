// ptz: select a channel's PTZ camera and send one command as the panel or the keypad does: a
// held direction button (PTZ_MOVE_REQ, a wait, PTZ_MOVE_STOP) or a keypad OK for a preset.
#include "cli/cli_command.h"
#include "cli/cli_session.h"

#include "session/ptz_keypad.h"

#include <QTimer>

#include <cstdlib>

namespace kalder::cli {

namespace {

constexpr int kDefaultMoveMs = 500;
constexpr int kLongestMoveMs = 600000;

struct PtzArgs {
    int channel = -1; // 0-15
    PtzMode mode = PtzMode::PanTilt;
    std::optional<PtzDirection> move;
    int moveMs = kDefaultMoveMs;
    std::optional<int> presetCode; // PresetCode
    int number = 0;
};

bool parseNumber(const std::string& text, long low, long high, int& out) {
    char* rest = nullptr;
    const long value = std::strtol(text.c_str(), &rest, 10);
    if (text.empty() || *rest != '\0' || value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool parsePtzArgs(const std::vector<std::string>& args, PtzArgs& ptz, std::string& error) {
    bool numberGiven = false, msGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (i + 1 >= args.size()) {
            error = "ptz: '" + arg + "' wants a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--channel") {
            if (!parseNumber(value, 1, 16, ptz.channel)) {
                error = "--channel wants a channel 1-16";
                return false;
            }
            ptz.channel -= 1;
        } else if (arg == "--mode") {
            if (value != "pan" && value != "zoom") {
                error = "--mode wants pan or zoom";
                return false;
            }
            ptz.mode = value == "zoom" ? PtzMode::ZoomFocus : PtzMode::PanTilt;
        } else if (arg == "--move") {
            static const std::pair<const char*, PtzDirection> kDirections[] = {
                {"up", PtzDirection::Up},
                {"down", PtzDirection::Down},
                {"left", PtzDirection::Left},
                {"right", PtzDirection::Right}};
            for (const auto& [name, direction] : kDirections)
                if (value == name)
                    ptz.move = direction;
            if (!ptz.move) {
                error = "--move wants up, down, left or right";
                return false;
            }
        } else if (arg == "--ms") {
            if (!parseNumber(value, 0, kLongestMoveMs, ptz.moveMs)) {
                error = "--ms wants milliseconds 0-600000";
                return false;
            }
            msGiven = true;
        } else if (arg == "--preset") {
            if (value == "set")
                ptz.presetCode = PresetCode::Set;
            else if (value == "call")
                ptz.presetCode = PresetCode::Call;
            else if (value == "tour")
                ptz.presetCode = PresetCode::Tour;
            else {
                error = "--preset wants set, call or tour";
                return false;
            }
        } else if (arg == "--number") {
            if (!parseNumber(value, 0, 999, ptz.number)) {
                error = "--number wants a number 1-999";
                return false;
            }
            numberGiven = true;
        } else {
            error = "ptz: unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (ptz.channel < 0) {
        error = "ptz wants --channel";
        return false;
    }
    if (ptz.move.has_value() == ptz.presetCode.has_value()) {
        error = "ptz wants either --move or --preset";
        return false;
    }
    if (ptz.move && numberGiven) {
        error = "--number goes with --preset";
        return false;
    }
    if (ptz.presetCode && msGiven) {
        error = "--ms goes with --move";
        return false;
    }
    if (ptz.presetCode) {
        // The keypad sends nothing for 0; tours run from 1 to 4.
        const int highest = *ptz.presetCode == PresetCode::Tour ? 4 : 999;
        if (!numberGiven || ptz.number < 1 || ptz.number > highest) {
            error = *ptz.presetCode == PresetCode::Tour ? "--preset tour wants --number 1-4"
                                                        : "--preset wants --number 1-999";
            return false;
        }
    }
    return true;
}

class Ptz : public CliSession {
public:
    Ptz(const CliOptions& options, CliOutput& output, PtzArgs args)
        : CliSession(options, output), m_args(args) {}

protected:
    void onLoggedIn() override {
        // The PTZ right is the one the recorder sends after the login.
        afterLoginRecords(kRights, [this] { select(); });
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() == WindowMessage::PtzAvailability && m_selected && !m_answered) {
            m_answered = true;
            replyArrived();
            answered(message.wParam() != 0);
        }
    }

private:
    void select() {
        m_selected = true;
        if (!session().status().mayPtz()) {
            session().notify({15, 0}); // the base ends the run as refused
            return;
        }
        session().ptz().selectPtzChannel(m_args.channel, m_args.mode);
        awaitReply("PTZ_CHANNEL_ACK, the answer to PTZ_CHANNEL_REQ");
    }

    void answered(bool available) {
        output().line(output().json() ? std::string("{\"event\":\"ptz\",\"available\":") +
                                            (available ? "true" : "false") + "}"
                                      : std::string("ptz available ") + (available ? "yes" : "no"));
        if (!available) {
            // No camera on that channel: nothing is sent for it.
            finish(kExitRefused);
            return;
        }
        if (m_args.presetCode) {
            if (*m_args.presetCode == PresetCode::Set && session().hello().account != 0) {
                output().error("ptz: storing presets is for account 0 only");
                finish(kExitRefused);
                return;
            }
            session().ptz().sendPresetCommand(*m_args.presetCode, m_args.number);
            finish(kExitOk);
            return;
        }
        session().ptz().sendPtzMove(true, *m_args.move, m_args.mode);
        QTimer::singleShot(m_args.moveMs, this, [this] {
            session().ptz().sendPtzMove(false, *m_args.move, m_args.mode);
            finish(kExitOk);
        });
    }

    const PtzArgs m_args;
    bool m_selected = false;
    bool m_answered = false;
};

} // namespace

int runPtz(const CliOptions& options, CliOutput& output) {
    PtzArgs args;
    std::string error;
    if (!parsePtzArgs(options.commandArgs, args, error)) {
        output.error(error);
        return kExitUsage;
    }
    Ptz ptz(options, output, args);
    return ptz.run();
}

} // namespace kalder::cli
