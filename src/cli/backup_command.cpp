// backup: connect, log in, ask the recorder for the size of a period (TRANS_ON_REQ), check the
// local free space as the backup window does, then download the period into backup sets with
// the backup writer and report what was written. SIGINT stops the transfer as the progress
// window's Stop does: TRANS_OFF_REQ, and the sets are closed whole.
#include "cli/backup_download.h"
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "session/backup_rules.h"
#include "wire/recorder_time.h"

#include <QDir>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalder::cli {

namespace {

// Progress lines at most this often.
constexpr std::chrono::milliseconds kProgressInterval{500};
// How long a failed transfer's run waits for the alert that follows the end.
constexpr int kAlertWaitMs = 1000;

struct BackupArgs : BackupDownloadArgs {
    bool haveFrom = false;
    bool haveTo = false;
};

bool parseBackupArgs(const std::vector<std::string>& args, BackupArgs& backup, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((arg == "--from" || arg == "--to") && hasValue) {
            const bool from = arg == "--from";
            if (!parseOperatorTime(args[++i], from ? backup.from : backup.to)) {
                error = arg + " wants \"YYYY-MM-DD hh:mm:ss\" or \"YYYY-MM-DD\"";
                return false;
            }
            (from ? backup.haveFrom : backup.haveTo) = true;
        } else if (arg == "--channels" && hasValue) {
            if (!parseChannelList(args[++i], backup.mask)) {
                error = "--channels wants \"all\" or a comma list of channels 1-16";
                return false;
            }
        } else if (arg == "--kind" && hasValue) {
            const std::string& text = args[++i];
            char* rest = nullptr;
            const long kind = std::strtol(text.c_str(), &rest, 0);
            if (text.empty() || *rest != '\0' || kind < 0 || kind > 255) {
                error = "--kind wants a number 0-255";
                return false;
            }
            backup.kind = static_cast<std::uint8_t>(kind);
        } else if (arg == "--dir" && hasValue) {
            backup.dir = args[++i];
        } else {
            error = "backup: unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (!backup.haveFrom || !backup.haveTo) {
        error = "backup: --from and --to are required";
        return false;
    }
    if (backup.to < backup.from) {
        error = "backup: --to lies before --from";
        return false;
    }
    if (backup.dir.empty())
        backup.dir = (QDir::homePath() + QStringLiteral("/H264/Download")).toStdString();
    return true;
}

// SIGINT reaches the event loop through a socket pair: the handler only writes one byte.
int s_interruptFds[2] = {-1, -1};

void onInterrupt(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(s_interruptFds[1], &byte, 1);
}

const char* resultText(BackupWriteResult::End end) {
    switch (end) {
    case BackupWriteResult::End::Done:
        return "done";
    case BackupWriteResult::End::Stopped:
        return "stopped";
    case BackupWriteResult::End::Failed:
    case BackupWriteResult::End::FileError:
        break;
    }
    return "failed";
}

class Backup : public CliSession {
public:
    Backup(const CliOptions& options, CliOutput& output, const BackupDownloadArgs& args,
           HelloRecord* hello)
        : CliSession(options, output), m_args(args), m_hello(hello) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_interruptFds) == 0) {
            ::fcntl(s_interruptFds[1], F_SETFL, O_NONBLOCK);
            m_interrupt =
                std::make_unique<QSocketNotifier>(s_interruptFds[0], QSocketNotifier::Read);
            QObject::connect(m_interrupt.get(), &QSocketNotifier::activated, this, [this] {
                char byte;
                [[maybe_unused]] const ssize_t n = ::read(s_interruptFds[0], &byte, 1);
                interrupted();
            });
            struct sigaction action {};
            action.sa_handler = onInterrupt;
            sigemptyset(&action.sa_mask);
            ::sigaction(SIGINT, &action, &m_previousAction);
        }
    }

    ~Backup() override {
        if (m_interrupt) {
            ::sigaction(SIGINT, &m_previousAction, nullptr);
            m_interrupt.reset();
            ::close(s_interruptFds[0]);
            ::close(s_interruptFds[1]);
            s_interruptFds[0] = s_interruptFds[1] = -1;
        }
    }

protected:
    void onLoggedIn() override {
        if (m_hello)
            *m_hello = session().hello();
        const unsigned count = session().channelNum();
        const std::uint16_t all =
            count >= 16 ? 0xFFFF : static_cast<std::uint16_t>((1u << count) - 1);
        m_request.channelMask = m_args.mask ? static_cast<std::uint16_t>(*m_args.mask & all) : all;
        m_request.kind = m_args.kind;
        m_request.start = m_args.from;
        m_request.end = m_args.to;
        if (!session().backup().requestSize(m_request)) {
            output().error("backup: the request could not be sent");
            finish(kExitConnectionLost);
            return;
        }
        awaitReply("TRANS_ON_ACK or TRANS_ON_NACK, the answer to TRANS_ON_REQ");
    }

    void onNotification(Notification) override {
        if (m_awaitingAlert)
            finish(kExitRefused);
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        switch (message.message()) {
        case WindowMessage::BackupSizeKnown:
            replyArrived();
            sizeKnown(static_cast<std::uint32_t>(message.wParam()));
            return;
        case WindowMessage::BackupRefused:
            // The recorder's refusal: its notification is printed already.
            replyArrived();
            finish(kExitRefused);
            return;
        case WindowMessage::BackupProgressPosition:
            progress(static_cast<std::uint64_t>(message.wParam()));
            return;
        case WindowMessage::BackupWriterEnded:
            session().backup().writerEnded();
            return;
        case WindowMessage::BackupProgressClose:
            transferEnded();
            return;
        default:
            return;
        }
    }

private:
    void sizeKnown(std::uint32_t kbytes) {
        const BackupSize size = backupSize(kbytes);
        if (output().json())
            output().line("{\"event\":\"backup_size\",\"kbytes\":" + std::to_string(kbytes) +
                          ",\"text\":" + jsonString(size.text) + "}");
        else
            output().line("backup size: " + size.text + " (" + std::to_string(kbytes) + " KB)");
        const DriveSpace drive = driveSpace(m_args.dir);
        const BackupSpaceCheck space = checkBackupSpace(drive.freeMb, kbytes);
        if (!space.enough) {
            session().backup().setSizePair(space.sizePair);
            output().notification({13, 0});
            output().error("backup: " + std::to_string(drive.freeMb) + " MB free in " +
                           m_args.dir.string() + ", " + std::to_string(kbytes / 1024) +
                           " MB to write and " + std::to_string(kBackupSpaceMarginMb) +
                           " MB to keep free");
            finish(kExitDiskSpace);
            return;
        }
        if (kbytes == 0) {
            finish(kExitOk);
            return;
        }
        if (m_interrupted) {
            finish(kExitOk);
            return;
        }
        if (!session().backup().startTransfer(m_request, m_args.dir, kbytes)) {
            output().error("backup: the transfer could not be started");
            finish(kExitConnectionLost);
            return;
        }
        awaitData();
    }

    // A transfer under way waits for its next data; every piece that arrives restarts the wait.
    void awaitData() {
        awaitReply("more of the backup (TRANS_DATA), the answer to TRANS_DATA_REQ");
    }

    void progress(std::uint64_t kbytes) {
        awaitData();
        const auto now = std::chrono::steady_clock::now();
        if (m_printedProgress && now - m_lastProgress < kProgressInterval)
            return;
        m_printedProgress = true;
        m_lastProgress = now;
        if (output().json())
            output().line("{\"event\":\"backup_progress\",\"kbytes\":" + std::to_string(kbytes) +
                          "}");
        else
            output().line("backup: " + std::to_string(kbytes) + " KB");
    }

    void transferEnded() {
        replyArrived();
        const BackupWriteResult result =
            session().backup().lastResult().value_or(BackupWriteResult{});
        if (output().json()) {
            std::string sets;
            for (const std::string& set : result.sets)
                sets += (sets.empty() ? "" : ",") + jsonString(set);
            output().line("{\"event\":\"backup_done\",\"sets\":[" + sets +
                          "],\"frames\":" + std::to_string(result.frames) +
                          ",\"bytes\":" + std::to_string(result.bytes) + ",\"result\":\"" +
                          resultText(result.end) + "\"}");
        } else {
            std::string sets;
            for (const std::string& set : result.sets)
                sets += " " + set;
            output().line("backup " + std::string(resultText(result.end)) + ": " +
                          std::to_string(result.frames) + " frames, " +
                          std::to_string(result.bytes) + " bytes, sets" +
                          (sets.empty() ? std::string(" none") : sets));
        }
        if (!result.error.empty())
            output().error("backup: " + result.error);
        switch (result.end) {
        case BackupWriteResult::End::Done:
        case BackupWriteResult::End::Stopped:
            finish(kExitOk);
            return;
        case BackupWriteResult::End::Failed:
            // TRANS_ON_FAIL: the transfer ends first, then its alert comes; the run waits for
            // it a moment so that it is printed.
            m_awaitingAlert = true;
            QTimer::singleShot(kAlertWaitMs, this, [this] { finish(kExitRefused); });
            return;
        case BackupWriteResult::End::FileError:
            finish(kExitDiskSpace); // the local disk could not take the sets
            return;
        }
    }

    // The Stop of the progress window; before the transfer, the run simply ends.
    void interrupted() {
        m_interrupted = true;
        if (session().backup().transferRunning())
            session().backup().stop(); // 21066 follows and ends the run
        else if (!session().backup().requestPending())
            finish(kExitOk);
    }

public:
    bool interruptedRun() const { return m_interrupted; }

private:
    const BackupDownloadArgs& m_args;
    HelloRecord* m_hello;
    BackupRequest m_request;
    std::unique_ptr<QSocketNotifier> m_interrupt;
    struct sigaction m_previousAction {};
    bool m_interrupted = false;
    bool m_awaitingAlert = false;
    bool m_printedProgress = false;
    std::chrono::steady_clock::time_point m_lastProgress{};
};

} // namespace

int runBackup(const CliOptions& options, CliOutput& output) {
    BackupArgs args;
    std::string error;
    if (!parseBackupArgs(options.commandArgs, args, error)) {
        output.error(error);
        return kExitUsage;
    }
    return downloadBackup(options, output, args);
}

int downloadBackup(const CliOptions& options, CliOutput& output, const BackupDownloadArgs& args,
                   HelloRecord* hello, bool* stopped) {
    Backup backup(options, output, args, hello);
    const int status = backup.run();
    if (stopped)
        *stopped = backup.interruptedRun();
    return status;
}

} // namespace kalder::cli
