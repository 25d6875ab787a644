// Backup transfer: the size request, the transfer into the backup writer with the receive
// thread's back-pressure, and the ending.
#include "session/backup_transfer.h"

#include "session/recorder_session.h"

#include "net/trace.h"
#include "net/transport.h"
#include "session/window_message.h"
#include "wire/byte_reader.h"
#include "wire/frame_info.h"
#include "wire/message_catalogue.h"
#include "wire/nack_outcome.h"
#include "wire/playback_records.h"

#include <chrono>
#include <thread>
#include <vector>

namespace kalder {

namespace {

// The recorder's recording header, then the frame block, precede the video of every item.
constexpr std::size_t kItemOverhead = kRecordingFrameHeaderSize + kFrameInfoBlockSize;
// The writer's queue as the recorder's protocol counts it: two placeholder entries before the
// items. Each received frame costs the receive thread (count / 8) ms of sleep, so a writer that
// falls behind slows the recorder down through TCP flow control.
constexpr std::size_t kQueuePlaceholders = 2;
constexpr std::size_t kThrottleDivisor = 8;

// TRANS_ON_REQ and TRANS_DATA_REQ carry the 24-byte layout of PLAY_ON_REQ.
std::array<std::byte, kPlayOnRequestSize> encodeBackupRequest(const BackupRequest& request) {
    return encodePlayOnRequest({request.channelMask, request.kind, request.start, request.end});
}

} // namespace

BackupTransfer::BackupTransfer(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    m_session.registerHandler(TRANS_ON_ACK,
                              [this](const MessageHeader& h) { return RecvFn_TransOnAck(h); });
    m_session.registerHandler(TRANS_ON_NACK,
                              [this](const MessageHeader& h) { return RecvFn_TransOnNack(h); });
    m_session.registerHandler(TRANS_ON_DATA,
                              [this](const MessageHeader& h) { return RecvFn_TransOnData(h); });
    m_session.registerHandler(TRANS_ON_DONE,
                              [this](const MessageHeader& h) { return RecvFn_TransOnDone(h); });
    m_session.registerHandler(TRANS_ON_FAIL,
                              [this](const MessageHeader& h) { return RecvFn_TransOnFail(h); });
    m_session.registerHandler(TRANS_OFF_NACK,
                              [this](const MessageHeader& h) { return RecvFn_TransOffNack(h); });
    m_session.registerEmptyReplyHandler(TRANS_OFF_ACK, [](const MessageHeader&) {});
}

BackupTransfer::~BackupTransfer() {
    // The writer's own destructor stops its thread, which closes the set whole.
    std::unique_ptr<BackupWriter> writer;
    {
        std::lock_guard lock(m_writerMutex);
        writer = std::move(m_writer);
    }
}

std::array<std::int64_t, 2> BackupTransfer::sizePair() const {
    std::lock_guard lock(m_stateMutex);
    return m_sizePair;
}

void BackupTransfer::setSizePair(std::array<std::int64_t, 2> pair) {
    std::lock_guard lock(m_stateMutex);
    m_sizePair = pair;
}

std::optional<BackupWriteResult> BackupTransfer::lastResult() const {
    std::lock_guard lock(m_stateMutex);
    return m_lastResult;
}

BackupReceiveCounters BackupTransfer::counters() const {
    std::lock_guard lock(m_stateMutex);
    return m_counters;
}

// ---- GUI thread -------------------------------------------------------------------------

bool BackupTransfer::requestSize(const BackupRequest& request) {
    if (!m_session.loggedIn() || m_requestPending.exchange(true))
        return false;
    trace("Send...TRANS_ON_REQ...\n");
    m_session.send(makeHeader(MessageId::TRANS_ON_REQ, kPlayOnRequestSize),
                   encodeBackupRequest(request));
    return true;
}

bool BackupTransfer::startTransfer(const BackupRequest& request,
                                   const std::filesystem::path& folder, std::uint32_t totalKbytes,
                                   BackupWriterLimits limits) {
    if (!m_session.loggedIn())
        return false;
    {
        std::lock_guard control(m_controlMutex);
        if (m_running)
            return false;
        BackupWriterEvents events;
        RecorderSession* session = &m_session;
        // Called on the writer's thread: posted only (the position coalesced), never waited on.
        events.progress = [session](std::uint64_t kbytes) {
            session->postLatest(WindowMessage::BackupProgressPosition,
                                static_cast<std::uintptr_t>(kbytes));
        };
        events.ended = [session](const BackupWriteResult&) {
            session->post(WindowMessage::BackupWriterEnded);
        };
        {
            std::lock_guard lock(m_writerMutex);
            if (!m_writer)
                m_writer =
                    std::make_unique<BackupWriter>(folder, std::move(events), std::move(limits));
        }
        m_session.restartLatest(WindowMessage::BackupProgressPosition);
        m_session.post(WindowMessage::BackupProgressOpen, totalKbytes);
        {
            std::lock_guard lock(m_stateMutex);
            m_counters = {};
            m_lastResult.reset();
        }
        m_runGeneration.fetch_add(1);
        m_running = true;
        m_session.setBackupOn(true);
    }
    trace("Send...TRANS_DATA_REQ...\n");
    m_session.send(makeHeader(MessageId::TRANS_DATA_REQ, kPlayOnRequestSize),
                   encodeBackupRequest(request));
    return true;
}

void BackupTransfer::stop() {
    end(Ending::Stopped, true);
}

void BackupTransfer::writerEnded() {
    bool endedByItself = false;
    {
        std::lock_guard lock(m_writerMutex);
        endedByItself = m_writer && m_writer->ended();
    }
    if (endedByItself)
        end(Ending::Stopped, true);
}

void BackupTransfer::sessionClosing() {
    end(Ending::Stopped, false);
}

// Any thread: the ending. Waits for the writer, never while holding the writer's pointer lock.
void BackupTransfer::end(Ending how, bool sendOff) {
    std::lock_guard control(m_controlMutex);
    if (!m_running.exchange(false))
        return;
    if (sendOff) {
        trace("Send...TRANS_OFF_REQ...\n");
        m_session.send(makeHeader(MessageId::TRANS_OFF_REQ));
    }
    std::unique_ptr<BackupWriter> writer;
    {
        std::lock_guard lock(m_writerMutex);
        writer = std::move(m_writer);
    }
    if (writer) {
        // The recorder's end reaches the writer as the last item, after every frame before it.
        if (how != Ending::Stopped) {
            BackupItem last;
            last.kind = how == Ending::Done ? BackupItem::Kind::Done : BackupItem::Kind::Fail;
            writer->push(std::move(last));
        }
        writer->waitUntilDrained();
        writer->stop();
        const BackupWriteResult result = writer->result();
        writer.reset();
        std::lock_guard lock(m_stateMutex);
        m_lastResult = result;
    }
    m_session.setBackupOn(false);
    m_session.post(WindowMessage::BackupProgressClose);
}

// ---- receive thread ---------------------------------------------------------------------

bool BackupTransfer::RecvFn_TransOnAck(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    m_requestPending = false;
    const auto size = decodePlayWord(payload);
    if (!size) {
        trace("TRANS_ON_ACK of %zu bytes\n", payload.size());
        m_session.post(WindowMessage::BackupRefused, 0, kNackEmpty);
        return true;
    }
    trace("Recv...TRANS_ON_ACK...%u\n", unsigned(*size));
    m_session.post(WindowMessage::BackupSizeKnown, *size);
    return true;
}

bool BackupTransfer::RecvFn_TransOnNack(const MessageHeader& header) {
    std::array<std::uint32_t, 2> detail{};
    const std::int32_t code = readNackCode(m_session.socket(), header, &detail);
    if (code == kNackReadFailed)
        return false;
    m_requestPending = false;
    const NackOutcome outcome = nackOutcome(MessageId::TRANS_ON_NACK, code);
    // The two sizes (megabytes) are in place before the alert that shows them.
    if (outcome.keepsDetail)
        setSizePair({detail[0], detail[1]});
    if (outcome.notification)
        m_session.notify(*outcome.notification);
    m_session.post(WindowMessage::BackupRefused, 0, code);
    return true;
}

bool BackupTransfer::RecvFn_TransOnDone(const MessageHeader& header) {
    if (!discardPayload(m_session.socket(), header))
        return false;
    trace("Recv...TRANS_ON_DONE...\n");
    end(Ending::Done, true);
    return true;
}

bool BackupTransfer::RecvFn_TransOnFail(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    trace("Recv...TRANS_ON_FAIL...%d\n", int(code));
    // The transfer ends first; then the alert.
    end(Ending::Failed, true);
    m_session.notifyNack(MessageId::TRANS_ON_FAIL, code);
    return true;
}

bool BackupTransfer::RecvFn_TransOffNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    m_session.notifyNack(MessageId::TRANS_OFF_NACK, code);
    return true;
}

bool BackupTransfer::RecvFn_TransOnData(const MessageHeader& header) {
    // A new transfer does not inherit the fragments of a frame cut short by the last one.
    const std::uint64_t generation = m_runGeneration.load();
    if (generation != m_assemblyGeneration) {
        m_assemblyGeneration = generation;
        m_assembly.reset();
    }
    // An item larger than the assembly buffer is read and dropped, never stored.
    const bool fits =
        !m_assembly.skipping() && header.payloadLength <= m_assembly.capacity() - m_assembly.fill();
    const auto step =
        m_assembly.readFragment(m_session.socket(), header, m_running, "backup frame");
    if (step == FrameAssembler::Fragment::Failed) {
        trace("RecvFn_TransOnData... LoopReceive false...\n");
        return false;
    }
    if (!fits && header.lastFragment()) {
        std::lock_guard lock(m_stateMutex);
        ++m_counters.dropped;
    }
    if (step == FrameAssembler::Fragment::Whole) {
        completeFrame();
        m_assembly.reset();
    }
    return true;
}

// Receive thread: a whole TRANS_ON_DATA item is in the assembly buffer: the recording header,
// the frame block, the video and the audio.
void BackupTransfer::completeFrame() {
    const std::span<const std::byte> item = m_assembly.frame();
    auto drop = [this] {
        std::lock_guard lock(m_stateMutex);
        ++m_counters.dropped;
    };
    if (item.size() < kItemOverhead) {
        drop();
        return;
    }
    const std::span<const std::byte> frame = item.subspan(kRecordingFrameHeaderSize);
    const std::optional<FrameInfoBlock> block = decodeFrameInfoBlock(frame);
    if (!block || block->frameMagic != kFrameMagic) {
        // Dropped silently: the recorder's frame without its marker.
        trace("%04x\n", block ? unsigned(block->frameMagic & 0xFFFF) : 0u);
        drop();
        return;
    }
    // The writer stores header, block, video and audio: exactly what the block announces, and
    // never more than arrived.
    const std::size_t length =
        kItemOverhead + std::size_t(block->videoLength) + std::size_t(block->audioLength);
    if (length > item.size()) {
        trace("backup frame of %zu bytes announces %zu\n", item.size(), length);
        drop();
        return;
    }
    BackupItem queued;
    queued.kind = BackupItem::Kind::Data;
    queued.channel = block->channel & 0x0F;
    queued.videoLength = block->videoLength;
    queued.audioLength = block->audioLength;
    queued.bytes.assign(item.begin(), item.begin() + static_cast<std::ptrdiff_t>(length));

    std::size_t backlog = 0;
    bool writerGone = false;
    {
        std::lock_guard lock(m_writerMutex);
        if (m_writer) {
            m_writer->push(std::move(queued));
            backlog = m_writer->queued();
            writerGone = m_writer->ended();
        }
    }
    {
        std::lock_guard lock(m_stateMutex);
        ++m_counters.frames;
    }
    if (writerGone) {
        // The writer ended by itself (a file error): the transfer ends here.
        end(Ending::Stopped, true);
        return;
    }
    const std::size_t sleepMs = (backlog + kQueuePlaceholders) / kThrottleDivisor;
    if (sleepMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    else
        std::this_thread::yield();
}

} // namespace kalder
