#include "session/firmware_upgrade.h"

#include "net/trace.h"
#include "net/transport.h"
#include "session/recorder_session.h"
#include "wire/message_catalogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace kalder {

FirmwareUpgrade::FirmwareUpgrade(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    m_session.registerEmptyReplyHandler(FW_UPDATE_ACK,
                                        [this](const MessageHeader&) { onUpdateAck(); });
    m_session.registerEmptyReplyHandler(FW_DATA_RX_DONE,
                                        [this](const MessageHeader&) { onReceived(); });
    m_session.registerEmptyReplyHandler(FW_UPDATE_DONE, [this](const MessageHeader&) { onDone(); });
    m_session.registerHandler(FW_UPDATE_NACK, [this](const MessageHeader& h) {
        return onNack(h, UpgradeRowState::Refused, WindowMessage::FirmwareUpdateNack);
    });
    m_session.registerHandler(FW_DATA_RX_FAIL, [this](const MessageHeader& h) {
        return onNack(h, UpgradeRowState::Failed, WindowMessage::FirmwareDataRxFail);
    });
    m_session.registerHandler(FW_UPDATE_FAIL, [this](const MessageHeader& h) {
        return onNack(h, UpgradeRowState::Failed, WindowMessage::FirmwareUpdateFail);
    });
}

FirmwareUpgrade::~FirmwareUpgrade() {
    stopUpload();
}

void FirmwareUpgrade::setCandidates(const FirmwareScanResult& scan) {
    stopUpload();
    std::lock_guard lock(m_mutex);
    for (std::size_t row = 0; row < kUpgradeRows; ++row) {
        m_rows[row] = Row{};
        m_rows[row].candidate = scan.rows[row];
        m_rows[row].checked = scan.rows[row].selected;
        m_progress[row] = 0;
    }
    m_awaitingRow = -1;
    m_currentRow = 0;
    m_upgradedCount = 0;
}

UpgradeCandidate FirmwareUpgrade::candidate(int row) const {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(kUpgradeRows))
        return {};
    return m_rows[static_cast<std::size_t>(row)].candidate;
}

void FirmwareUpgrade::setChecked(int row, bool checked) {
    std::lock_guard lock(m_mutex);
    if (row >= 0 && row < static_cast<int>(kUpgradeRows))
        m_rows[static_cast<std::size_t>(row)].checked = checked;
}

bool FirmwareUpgrade::checked(int row) const {
    std::lock_guard lock(m_mutex);
    return row >= 0 && row < static_cast<int>(kUpgradeRows) &&
           m_rows[static_cast<std::size_t>(row)].checked;
}

UpgradeRowState FirmwareUpgrade::rowState(int row) const {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(kUpgradeRows))
        return UpgradeRowState::Idle;
    return m_rows[static_cast<std::size_t>(row)].state;
}

std::int32_t FirmwareUpgrade::rowCode(int row) const {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(kUpgradeRows))
        return 0;
    return m_rows[static_cast<std::size_t>(row)].code;
}

int FirmwareUpgrade::rowProgress(int row) const {
    if (row < 0 || row >= static_cast<int>(kUpgradeRows))
        return 0;
    return m_progress[static_cast<std::size_t>(row)];
}

int FirmwareUpgrade::requestNext() {
    FwUpdateRequest request;
    int found = -1;
    {
        std::lock_guard lock(m_mutex);
        for (int row = m_currentRow; row < static_cast<int>(kUpgradeRows); ++row) {
            Row& r = m_rows[static_cast<std::size_t>(row)];
            if (r.candidate.selected && r.checked) {
                found = row;
                r.candidate.selected = false;
                r.state = UpgradeRowState::Requested;
                r.code = 0;
                r.receivedPosted = false;
                request = {r.candidate.buildTime, r.candidate.componentType,
                           r.candidate.componentName};
                break;
            }
        }
        m_awaitingRow = found;
        m_ackPosted = false;
    }
    if (found < 0) {
        m_currentRow = 0;
        return -1;
    }
    m_currentRow = found;
    m_progress[static_cast<std::size_t>(found)] = 0;
    m_session.send(makeHeader(MessageId::FW_UPDATE_REQ, kFwUpdateRequestSize),
                   encodeFwUpdateRequest(request));
    return found;
}

bool FirmwareUpgrade::startUpload() {
    if (m_uploadRunning)
        return false;
    std::string path;
    int row = -1;
    {
        std::lock_guard lock(m_mutex);
        if (m_awaitingRow < 0)
            return false;
        row = m_awaitingRow;
        Row& r = m_rows[static_cast<std::size_t>(row)];
        if (r.state != UpgradeRowState::Requested)
            return false;
        r.state = UpgradeRowState::Uploading;
        path = r.candidate.path;
    }
    if (m_uploadThread.joinable())
        m_uploadThread.join();
    m_uploadStop = false;
    m_uploadRunning = true;
    const std::uint64_t ticket = ++m_uploadTicket;
    m_noticeWaiting = false; // a notice of the upload before is dropped by its ticket
    m_uploadThread = std::jthread(
        [this, path = std::move(path), row, ticket] { Thread_FwUpgrade(path, row, ticket); });
    return true;
}

void FirmwareUpgrade::setUploadNotice(UploadNotice notice) {
    std::lock_guard lock(m_noticeMutex);
    m_notice = std::move(notice);
}

bool FirmwareUpgrade::takeUploadNotice(std::uint64_t ticket) {
    // Cleared before the owner reads the state, so a change made after this read is noticed
    // again.
    m_noticeWaiting = false;
    return ticket == m_uploadTicket;
}

// Upload thread: the state it tells of is written before it is told.
void FirmwareUpgrade::notifyUpload(std::uint64_t ticket) {
    if (m_noticeWaiting.exchange(true))
        return; // the owner has not read the state since the last notice: it reads this too
    std::lock_guard lock(m_noticeMutex);
    if (m_notice)
        m_notice(ticket);
    else
        m_noticeWaiting = false;
}

void FirmwareUpgrade::stopUpload() {
    m_uploadStop = true;
    if (m_uploadThread.joinable())
        m_uploadThread.join();
}

void FirmwareUpgrade::stopByOperator() {
    stopUpload();
    std::lock_guard lock(m_mutex);
    const int row = m_currentRow;
    Row& r = m_rows[static_cast<std::size_t>(row)];
    if (r.state == UpgradeRowState::Requested || r.state == UpgradeRowState::Uploading ||
        r.state == UpgradeRowState::Received) {
        r.state = UpgradeRowState::Stopped;
        // A late reply for the stopped row is dropped.
        m_awaitingRow = -1;
    }
}

std::size_t FirmwareUpgrade::chunkLength(std::uint64_t remaining) {
    return remaining < kFwChunkSize ? static_cast<std::size_t>(remaining) : kFwChunkSize;
}

// Upload thread: streams the row's file as FW_DATA without waiting for any reply; the replies
// arrive on the receive thread. Ends on `uploadStop` (polled once per chunk), at the end of the
// file, when the file cannot be read, or when the connection has ended. Tells the owner of each
// whole percent sent and of its end.
void FirmwareUpgrade::Thread_FwUpgrade(std::string path, int row, std::uint64_t ticket) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // The row stays requested until a reply or Stop.
        if (fd >= 0)
            ::close(fd);
        trace("Thread_FwUpgrade... cannot open %s\n", path.c_str());
        m_uploadRunning = false;
        notifyUpload(ticket);
        return;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    std::vector<std::byte> buffer(kFwChunkSize); // one reused buffer
    std::uint64_t sent = 0;
    auto& progress = m_progress[static_cast<std::size_t>(row)];
    while (sent < size && !m_uploadStop && m_session.receiving()) {
        const std::size_t want = chunkLength(size - sent);
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, buffer.data() + got, want - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        if (got < want) {
            // The file shrank or cannot be read: sending a shorter "last" chunk would hand the
            // recorder a cut image as if it were whole, so the upload just ends.
            trace("Thread_FwUpgrade... read failed at %llu of %llu\n",
                  static_cast<unsigned long long>(sent), static_cast<unsigned long long>(size));
            break;
        }
        const bool last = size - sent <= kFwChunkSize;
        m_session.send(makeFwDataHeader(static_cast<std::uint16_t>(got), last),
                       std::span(buffer.data(), got));
        sent += got;
        const int percent = last ? 100 : static_cast<int>(sent * 100 / size);
        if (percent != progress.exchange(percent))
            notifyUpload(ticket);
        std::this_thread::yield();
    }
    ::close(fd);
    m_uploadStop = true;
    m_uploadRunning = false;
    notifyUpload(ticket);
}

void FirmwareUpgrade::onUpdateAck() {
    {
        std::lock_guard lock(m_mutex);
        if (m_awaitingRow < 0 || m_ackPosted)
            return;
        m_ackPosted = true;
    }
    m_session.post(WindowMessage::FirmwareUpdateAck);
}

bool FirmwareUpgrade::onNack(const MessageHeader& header, UpgradeRowState state, int message) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    {
        std::lock_guard lock(m_mutex);
        if (m_awaitingRow < 0)
            return true;
        Row& r = m_rows[static_cast<std::size_t>(m_awaitingRow)];
        r.state = state;
        r.code = code;
        m_awaitingRow = -1;
    }
    m_session.post(message, static_cast<std::uintptr_t>(code));
    return true;
}

void FirmwareUpgrade::onReceived() {
    {
        std::lock_guard lock(m_mutex);
        if (m_awaitingRow < 0)
            return;
        Row& r = m_rows[static_cast<std::size_t>(m_awaitingRow)];
        if (r.receivedPosted)
            return;
        r.receivedPosted = true;
        r.state = UpgradeRowState::Received;
    }
    m_session.post(WindowMessage::FirmwareDataRxDone);
}

void FirmwareUpgrade::onDone() {
    {
        std::lock_guard lock(m_mutex);
        if (m_awaitingRow < 0)
            return;
        Row& r = m_rows[static_cast<std::size_t>(m_awaitingRow)];
        r.state = UpgradeRowState::Done;
        m_awaitingRow = -1;
    }
    ++m_upgradedCount;
    m_session.post(WindowMessage::FirmwareUpdateDone);
}

} // namespace kalder
