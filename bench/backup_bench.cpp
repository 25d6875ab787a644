// kalder-bench-backup [--seconds S] [--rounds N]: backup download throughput against a plain
// socket-to-file copy of the same bytes, in the same run.
//
// Starts kalder-recorder-sim (16 channels, D1, 30 frames/s, a fixed recorded disk) and picks S
// seconds (default 200, about 800 MB: past the 650 MB rollover, so the run makes two chained
// sets at the real limit) of a period that recorded every channel. Then, alternating per round:
//   kalder-cli --json backup --from T --to T+S-1 --dir bench-backup   (session, assembly,
//       back-pressure, the writer thread and its three files)
//   a raw client in this process that logs in, sends the same TRANS_DATA_REQ and writes every
//   TRANS_ON_DATA payload to one file as it arrives (the reference)
// and prints each one's MB/s and their ratio (goal: at least 0.8). The backup's wall time has the
// connect, login, size request and disconnect of a `kalder-cli probe` run taken off.
#include "bench_process.h"
#include "decode/decoder_library.h"
#include "net/tcp_connector.h"
#include "net/transport.h"
#include "sim/recorded_disk.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "wire/playback_records.h"
#include "wire/recorder_time.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>
#include <vector>

namespace {

using namespace kalder::bench;
using Clock = std::chrono::steady_clock;

// 2024-01-03 15:00:00: a disk of the past, the same on every machine.
constexpr std::uint32_t kDiskEnd = 1704294000;

// The reference: login, TRANS_DATA_REQ, every TRANS_ON_DATA payload appended to `file` with one
// write per message, until TRANS_ON_DONE. Returns the bytes written and the seconds from the
// request to the end; 0 bytes on failure.
std::pair<std::uint64_t, double>
copyToFile(std::uint16_t port, const kalder::PlayOnRequest& request, const std::string& file) {
    using namespace kalder;
    const TcpConnectResult connected = connectTcp("127.0.0.1", port, nullptr);
    if (!connected.connected())
        return {0, 0};
    MessageSocket socket(connected.fd);
    HelloPayload hello;
    hello.userId = "admin";
    hello.password = "1234";
    sendMessage(socket, makeHeader(MessageId::HELLO, kHelloPayloadSize), encodeHelloPayload(hello));
    const int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        return {0, 0};
    std::vector<std::byte> payload(kMaxPayloadLength);
    std::uint64_t written = 0;
    Clock::time_point began{};
    bool asked = false;
    for (;;) {
        MessageHeader header;
        if (!receiveHeader(socket, header))
            break;
        const std::span<std::byte> into(payload.data(), header.payloadLength);
        if (!LoopReceive(socket, into))
            break;
        const std::uint16_t id = header.messageId();
        if (id == MessageId::HELLO48_ACK && !asked) {
            asked = true;
            began = Clock::now();
            sendMessage(socket, makeHeader(MessageId::TRANS_DATA_REQ, kPlayOnRequestSize),
                        encodePlayOnRequest(request));
        } else if (id == MessageId::TRANS_ON_DATA) {
            if (::write(out, into.data(), into.size()) != static_cast<ssize_t>(into.size()))
                break;
            written += into.size();
        } else if (id == MessageId::TRANS_ON_DONE) {
            const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
            ::close(out);
            sendMessage(socket, makeHeader(MessageId::BYE48));
            return {written, seconds};
        }
    }
    ::close(out);
    return {0, 0};
}

} // namespace

int main(int argc, char** argv) {
    unsigned seconds = 200;
    int rounds = 2;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--seconds S] [--rounds N]\n", argv[0]);
            return 2;
        }
    }
    // The period: S seconds of the longest period that recorded every channel.
    kalder::sim::DiskLayout layout;
    layout.end = kDiskEnd;
    const kalder::sim::RecordedDisk disk(layout);
    const kalder::sim::DiskPeriod* best = nullptr;
    for (const auto& p : disk.periods())
        if (p.channels == 0xFFFF && (!best || p.end - p.start > best->end - best->start))
            best = &p;
    if (!best) {
        std::fprintf(stderr, "the disk has no period with every channel\n");
        return 1;
    }
    const std::uint32_t from = best->start;
    const std::uint32_t to = std::min(best->end, from + seconds - 1);
    const kalder::PlayOnRequest request{0xFFFF, 0x3F, from, to};

    const std::string folder = kalder::DecoderLibrary::programFolder().string();
    int simOutput = -1;
    const pid_t sim =
        spawnWithOutput({folder + "/kalder-recorder-sim", "--port", "0", "--cache-dir",
                         "bench-sim-cache", "--disk-end", std::to_string(kDiskEnd)},
                        simOutput);
    if (sim < 0) {
        std::fprintf(stderr, "cannot start kalder-recorder-sim\n");
        return 1;
    }
    const std::string port = readLine(simOutput);
    ::setenv("KALDER_PASSWORD", "1234", 1);
    const std::string dir = "bench-backup";
    const std::string reference = "bench-backup-reference.bin";

    // The client's fixed cost of a run: connect, login and the farewell.
    double overhead = 1e9;
    for (int i = 0; i < 3; ++i) {
        const CliRun probe = runCli({folder + "/kalder-cli", "--port", port, "--json", "probe"});
        if (probe.ok)
            overhead = std::min(overhead, probe.wall);
    }
    if (overhead > 1e8)
        overhead = 0;

    double bestClient = 0, bestReference = 0;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        const auto [bytes, refSeconds] =
            copyToFile(static_cast<std::uint16_t>(std::atoi(port.c_str())), request, reference);
        std::filesystem::remove(reference);
        std::filesystem::remove_all(dir);
        const CliRun backup = runCli({folder + "/kalder-cli", "--port", port, "--json", "backup",
                                      "--from", kalder::formatRecorderTime(from), "--to",
                                      kalder::formatRecorderTime(to), "--dir", dir});
        const double backupBytes = number(backup.report, "{\"event\":\"backup_done\"", "bytes");
        std::filesystem::remove_all(dir);
        if (!backup.ok || bytes == 0 || backupBytes <= 0) {
            std::fprintf(stderr, "round %d failed\n%s\n", round + 1, backup.report.c_str());
            ok = false;
            break;
        }
        const double clientSeconds = std::max(1e-3, backup.wall - overhead);
        const double client = backupBytes / 1048576.0 / clientSeconds;
        const double ref = static_cast<double>(bytes) / 1048576.0 / refSeconds;
        const std::size_t setsAt = backup.report.rfind("\"sets\":[");
        const std::string setList =
            setsAt == std::string::npos
                ? std::string()
                : backup.report.substr(setsAt + 8, backup.report.find(']', setsAt) - setsAt - 8);
        std::printf("round %d: backup %.0f MB in %.2f s (%.0f MB/s, sets %s); socket to file %.0f "
                    "MB in %.2f s (%.0f MB/s); ratio %.3f\n",
                    round + 1, backupBytes / 1048576.0, clientSeconds, client, setList.c_str(),
                    static_cast<double>(bytes) / 1048576.0, refSeconds, ref, client / ref);
        bestClient = std::max(bestClient, client);
        bestReference = std::max(bestReference, ref);
    }
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    ::close(simOutput);
    if (!ok)
        return 1;
    std::printf("backup throughput / socket-to-file copy (best of %d): %.3f (goal: at least 0.8)\n",
                rounds, bestClient / bestReference);
    return 0;
}
