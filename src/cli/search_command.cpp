// search years, search day --date YYYY-MM-DD, events: the recorder's disk queries, one output
// line per record.
#include "cli/cli_command.h"
#include "cli/cli_session.h"
#include "cli/search_lines.h"
#include "session/search_exchange.h"
#include "wire/recorder_time.h"

#include <string>

namespace kalder::cli {

namespace {

enum class Query { Years, Day, Events };

class SearchRun : public CliSession {
public:
    SearchRun(const CliOptions& options, CliOutput& output, Query query, CivilTime day)
        : CliSession(options, output), m_query(query), m_day(day) {}

protected:
    void onLoggedIn() override {
        SearchExchange& search = session().search();
        search.setWindowOpen(true); // the replies are awaited here
        switch (m_query) {
        case Query::Years:
            search.requestYears();
            awaitReply("PLAY_INFO_MONTH_ACK or PLAY_INFO_MONTH_NACK, the answer to "
                       "PLAY_INFO_MONTH_REQ");
            break;
        case Query::Day:
            search.requestDaySegments(m_day.year, m_day.month, m_day.day);
            awaitReply("PLAY_INFO_DAY_ACK or PLAY_INFO_DAY_NACK, the answer to PLAY_INFO_DAY_REQ");
            break;
        case Query::Events:
            search.requestEvents();
            awaitReply("EVENT_INFO_ACK or EVENT_INFO_NACK, the answer to EVENT_INFO_REQ");
            break;
        }
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        const int expected = m_query == Query::Years ? WindowMessage::SearchYearsReady
                             : m_query == Query::Day ? WindowMessage::SearchDaySegmentsReady
                                                     : WindowMessage::SearchEventsReady;
        if (message.message() != expected)
            return;
        replyArrived();
        const auto result = static_cast<SearchReplyResult>(message.wParam());
        const auto code = static_cast<std::int32_t>(message.lParam());
        if (result == SearchReplyResult::Oversized) {
            output().error("the reply is larger than the 2,400,000-byte reply buffer: refused");
            finish(kExitIntegrity);
            return;
        }
        if (result == SearchReplyResult::Refused) {
            // No data (83) is an empty answer; any other code refused the query.
            if (code == 83) {
                finish(kExitOk);
                return;
            }
            output().error("the recorder refused the query (reply code " + std::to_string(code) +
                           ")");
            finish(kExitRefused);
            return;
        }
        const bool json = output().json();
        const SearchExchange& search = session().search();
        if (m_query == Query::Years) {
            // A month query that found nothing (83) lists nothing.
            if (code != 83)
                for (const YearAvailability& y : search.years())
                    output().line(json ? yearJson(y) : yearText(y));
        } else if (m_query == Query::Day) {
            for (const DaySegment& s : search.daySegments())
                output().line(json ? segmentJson(s) : segmentText(s));
        } else {
            for (const EventEntry& e : search.events())
                output().line(json ? eventJson(e) : eventText(e));
        }
        finish(kExitOk);
    }

private:
    const Query m_query;
    const CivilTime m_day;
};

} // namespace

int runSearch(const CliOptions& options, CliOutput& output) {
    const auto& args = options.commandArgs;
    if (args.size() == 1 && args[0] == "years") {
        SearchRun run(options, output, Query::Years, {});
        return run.run();
    }
    if (args.size() == 3 && args[0] == "day" && args[1] == "--date") {
        const auto day = args[2].size() == 10 ? parseCivilTime(args[2]) : std::nullopt;
        if (!day) {
            output.error("--date wants a date YYYY-MM-DD");
            return kExitUsage;
        }
        SearchRun run(options, output, Query::Day, *day);
        return run.run();
    }
    output.error("usage: search years | search day --date YYYY-MM-DD");
    return kExitUsage;
}

int runEvents(const CliOptions& options, CliOutput& output) {
    if (!options.commandArgs.empty()) {
        output.error("events takes no arguments");
        return kExitUsage;
    }
    SearchRun run(options, output, Query::Events, {});
    return run.run();
}

} // namespace kalder::cli
