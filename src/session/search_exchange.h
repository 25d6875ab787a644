#pragma once

#include "net/reply_assembler.h"
#include "session/search_resume_context.h"
#include "session/window_message.h"
#include "wire/message_header.h"
#include "wire/search_records.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kalder {

class RecorderSession;

namespace WindowMessage {
// The disk queries' replies are complete: wParam a SearchReplyResult, lParam the reply code of
// a refusal. Posted to the receiver, which hands them to the search window when it exists.
inline constexpr int SearchYearsReady = 21044;
inline constexpr int SearchEventsReady = 21045;
inline constexpr int SearchDaySegmentsReady = 21047;
// The backup calendar's replies (TRANS_INFO_MONTH_ACK, TRANS_INFO_DAY_ACK) are complete; wParam
// and lParam as above.
inline constexpr int BackupYearsReady = 21046;
inline constexpr int BackupDaySegmentsReady = 21048;
} // namespace WindowMessage

enum class SearchReplyResult : std::uintptr_t {
    Records = 0,   // the records (possibly none) are in the session's arrays
    Refused = 1,   // a negative reply; its notification, if any, is already posted
    Oversized = 2, // larger than the reply buffer: refused whole, no record kept
};

// The recorder's disk queries: which days of which years hold recordings (PLAY_INFO_MONTH_REQ),
// the recorded periods of one day (PLAY_INFO_DAY_REQ) and the event list (EVENT_INFO_REQ). The
// fragments of a reply are collected in the reply assembler on the receive thread; at the last
// one the records are decoded into the session's arrays and the ready message is posted. The
// session also keeps the search resume context and the channel mask of the last search window.
//
// Threads: requests, setWindowOpen and the context are called on the GUI thread (or the
// command-line front end's main thread); the handlers run on the receive thread. The arrays and
// the assembler are guarded by m_mutex, so a reader may take them at any time.
class SearchExchange {
public:
    explicit SearchExchange(RecorderSession& session);
    SearchExchange(const SearchExchange&) = delete;
    SearchExchange& operator=(const SearchExchange&) = delete;

    // The window that waits for the replies exists. Without it a reply is read and dropped.
    void setWindowOpen(bool open) { m_windowOpen = open; }
    bool windowOpen() const { return m_windowOpen; }

    // Each request first empties the reply assembler.
    void requestYears();
    void requestDaySegments(int year, int month, int day);
    void requestEvents();
    // CAPA_CAL_CANCEL: the operator cancelled the search window.
    void cancel();
    // The backup calendar's questions: TRANS_INFO_MONTH_REQ and TRANS_INFO_DAY_REQ, answered in
    // the same records. Their replies do not replace the search's records: the window takes
    // them once (takeBackupYears, takeBackupDaySegments), and the session keeps no copy.
    void requestBackupYears();
    void requestBackupDaySegments(int year, int month, int day);
    std::vector<YearAvailability> takeBackupYears();
    std::vector<DaySegment> takeBackupDaySegments();

    // The last decoded records. A day or event reply replaces the other kind (the session keeps
    // one 24-byte record array, whichever search produced it last).
    std::vector<YearAvailability> years() const;
    std::vector<DaySegment> daySegments() const;
    std::vector<EventEntry> events() const;

    SearchResumeContext resumeContext() const;
    void setResumeContext(SearchResumeContext context);
    void clearResumeContext();
    // The operator declined to return to the search: the context and the last decoded records
    // go, as when the session ends.
    void forgetRecords();

    // The channels of the last search window, used by later play controls; 0 until one closed.
    std::uint16_t searchChannelMask() const { return m_searchChannelMask; }
    void setSearchChannelMask(std::uint16_t mask) { m_searchChannelMask = mask; }

private:
    enum class Query : std::uint8_t { Years, Day, Events, BackupYears, BackupDay };

    void beginRequest();
    bool RecvFn_SearchAck(const MessageHeader& header, Query query);
    bool RecvFn_SearchNack(const MessageHeader& header, Query query);
    void post(Query query, SearchReplyResult result, std::int32_t code = 0);

    RecorderSession& m_session;
    std::atomic<bool> m_windowOpen{false};
    std::atomic<std::uint16_t> m_searchChannelMask{0};

    mutable std::mutex m_mutex; // guards everything below
    ReplyAssembler m_assembler;
    std::vector<YearAvailability> m_years;
    std::vector<DaySegment> m_segments;
    std::vector<EventEntry> m_events;
    std::vector<YearAvailability> m_backupYears;
    std::vector<DaySegment> m_backupSegments;
    SearchResumeContext m_context;
};

} // namespace kalder
