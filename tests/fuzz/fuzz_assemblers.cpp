// The receive thread's two assemblers driven by a run of fragments: the frame assembler reads
// each fragment's payload from a real socket (kept open across inputs, so no thread and no
// connection set-up per input), the reply assembler takes the same payloads. A fragment is one
// byte of flags (bit 0: last fragment, bit 1: the item is kept, bit 2: the reply buffer is
// cleared first), a big-endian 16-bit payload length, then its payload: as many input bytes as
// remain up to that length, zeros for the rest, so that short inputs still reach the limits.
#include "fuzz_input.h"
#include "net/frame_assembler.h"
#include "net/reply_assembler.h"
#include "net/transport.h"

#include <sys/socket.h>
#include <vector>

using namespace kalder;

namespace {

struct Pipe {
    int writer = -1;
    MessageSocket reader;
    Pipe() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
            std::abort();
        const int big = 1 << 20;
        ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
        ::setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
        writer = fds[1];
        reader.reset(fds[0]);
    }
    void send(std::span<const std::byte> bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t w = ::write(writer, bytes.data() + done, bytes.size() - done);
            if (w <= 0)
                std::abort();
            done += std::size_t(w);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Pipe pipe;
    static FrameAssembler frames;
    static ReplyAssembler reply;
    static std::vector<std::byte> payload(kMaxPayloadLength);
    frames.reset();
    reply.clear();

    fuzz::Input in(data, size);
    std::size_t replyBytes = 0;
    // Bounded so that an input of zeros cannot run for long.
    for (int n = 0; n < 64 && in.remaining() >= 3; ++n) {
        const std::uint8_t flags = in.u8();
        MessageHeader header = makeHeader(1, in.u16());
        if (flags & 1)
            header.fragmentFlags |= kFragmentLast;
        const auto given = in.take(header.payloadLength);
        std::copy(given.begin(), given.end(), payload.begin());
        std::fill(payload.begin() + given.size(), payload.begin() + header.payloadLength,
                  std::byte{0});
        const std::span<const std::byte> body(payload.data(), header.payloadLength);

        // The whole payload fits in the socket's buffer: the read below takes all of it.
        pipe.send(body);
        const std::atomic<bool> keep = (flags & 2) != 0;
        const std::size_t before = frames.fill();
        const auto step = frames.readFragment(pipe.reader, header, keep, "fuzz frame");
        if (step == FrameAssembler::Fragment::Failed || frames.fill() > frames.capacity())
            std::abort();
        if (frames.fill() != 0 && frames.fill() != before + body.size())
            std::abort(); // a stored fragment lands whole behind the frame so far
        if (step == FrameAssembler::Fragment::Whole)
            frames.reset();

        if (flags & 4) {
            reply.clear();
            replyBytes = 0;
        }
        replyBytes += body.size();
        const auto replyStep = reply.append(body, header.lastFragment());
        if (replyStep == ReplyAssembler::Step::Complete && reply.fill() != replyBytes)
            std::abort();
        if (replyStep == ReplyAssembler::Step::Overflow && reply.fill() != 0)
            std::abort();
        if (reply.fill() > ReplyAssembler::kCapacity)
            std::abort();
        if (replyStep != ReplyAssembler::Step::NeedMore) {
            reply.clear();
            replyBytes = 0;
        }
    }
    return 0;
}
