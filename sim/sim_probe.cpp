// kalder-sim-probe: logs in to a recorder (normally the simulator), asks for live video of every
// channel (and audio), reads everything for a while and reports what arrived; with --pid it
// also reports that process's processor time over the same period, read from /proc.
//
//   kalder-sim-probe --port 2000 [--host 127.0.0.1] [--seconds 10] [--pid PID] [--no-audio]

#include "wire/byte_writer.h"
#include "wire/frame_info.h"
#include "wire/hello_record.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"
#include "net/transport.h"

#include <arpa/inet.h>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kalder;

// utime + stime of a process, in clock ticks; -1 when it cannot be read.
long long processTicks(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14)
            utime = std::atoll(field.c_str());
        if (i == 15) {
            stime = std::atoll(field.c_str());
            return utime + stime;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    std::string host = "127.0.0.1";
    int port = 2000;
    double seconds = 10;
    int pid = 0;
    bool audio = true;
    std::string user = "admin", password = "1234";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--host")
            host = next();
        else if (arg == "--port")
            port = std::atoi(next().c_str());
        else if (arg == "--seconds")
            seconds = std::atof(next().c_str());
        else if (arg == "--pid")
            pid = std::atoi(next().c_str());
        else if (arg == "--user")
            user = next();
        else if (arg == "--password")
            password = next();
        else if (arg == "--no-audio")
            audio = false;
        else {
            std::fprintf(stderr, "usage: kalder-sim-probe --port N [--host A] [--seconds S] "
                                 "[--pid PID] [--user U --password P] [--no-audio]\n");
            return 2;
        }
    }

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "kalder-sim-probe: cannot connect to %s:%d\n", host.c_str(), port);
        return 1;
    }
    MessageSocket socket(fd);
    sendMessage(socket, makeHeader(MessageId::HELLO, kHelloPayloadSize),
                encodeHelloPayload({user, password}));
    std::array<std::byte, 4> mask;
    ByteWriter(mask).writeBe32(0xFFFF);
    sendMessage(socket, makeHeader(MessageId::LIVE_REQ, 4), mask);
    if (audio) {
        MessageHeader on = makeHeader(MessageId::AUDIO_ONOFF_REQ);
        on.code |= kCodeAudioFlag;
        sendMessage(socket, on);
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const long long ticksBefore = pid ? processTicks(pid) : -1;
    std::vector<std::byte> payload;
    std::vector<std::byte> frame;
    std::array<unsigned, 16> frames{};
    std::array<unsigned, 16> keys{};
    unsigned audioElements = 0;
    unsigned long long bytes = 0;
    unsigned messages = 0;
    bool ok = true;
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        MessageHeader header;
        if (!receiveHeader(socket, header)) {
            ok = false;
            break;
        }
        payload.resize(header.payloadLength);
        if (!LoopReceive(socket, payload)) {
            ok = false;
            break;
        }
        bytes += kHeaderSize + payload.size();
        ++messages;
        if (header.messageId() == MessageId::BYE48) {
            std::fprintf(stderr, "kalder-sim-probe: refused (BYE48)\n");
            return 1;
        }
        if (header.messageId() != MessageId::LIVE_DATA)
            continue;
        frame.insert(frame.end(), payload.begin(), payload.end());
        if (!header.lastFragment())
            continue;
        if (const auto block = decodeFrameInfoBlock(frame); block && block->channel < 16) {
            frames[block->channel]++;
            keys[block->channel] += block->frameType == kFrameTypeKey;
            audioElements += block->audioLength != 0;
        }
        frame.clear();
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const long long ticksAfter = pid ? processTicks(pid) : -1;

    unsigned total = 0;
    std::printf("channel frames/s key/s\n");
    for (unsigned c = 0; c < 16; ++c) {
        total += frames[c];
        if (frames[c])
            std::printf("%7u %8.1f %5.1f\n", c + 1, frames[c] / elapsed, keys[c] / elapsed);
    }
    std::printf("%.1f s: %u messages, %.2f MB/s, %.0f frames/s, %.1f audio elements/s%s\n", elapsed,
                messages, bytes / elapsed / 1e6, total / elapsed, audioElements / elapsed,
                ok ? "" : " (connection ended early)");
    if (pid && ticksBefore >= 0 && ticksAfter >= 0) {
        const double cpu = (ticksAfter - ticksBefore) / static_cast<double>(::sysconf(_SC_CLK_TCK));
        std::printf("process %d: %.2f s of processor time = %.1f %% of one core\n", pid, cpu,
                    100.0 * cpu / elapsed);
    }
    return ok ? 0 : 1;
}
