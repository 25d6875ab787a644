#pragma once

#include "setup/model/dst_setup_page.h"
#include "setup/setup_window.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;

namespace kalder {

class ValueButton;

// DST Setup: the mode (off, own rule, one of the recorder's regional rules), the own rule in
// week form (month, week, weekday) or date form (month, day) for start and end, their times and
// the shift. The page keeps a current time: the local clock when it opens, the recorder's clock
// once DVR_TIME_ACK answers the request it sends on opening; its year decides the days stored.
// Leaving it (another page or OK) with the own rule changed within one shift before the rule's
// end asks whether daylight saving is still in force. GUI thread only.
class DstSetupPageWidget : public QWidget, public SetupPageLeaving {
public:
    enum class Control {
        Mode,
        StartMonth,
        StartWeek,
        StartWeekday,
        StartDay,
        StartTime,
        EndMonth,
        EndWeek,
        EndWeekday,
        EndDay,
        EndTime,
        Shift
    };

    explicit DstSetupPageWidget(SetupWindow& window);

    void pageLeaving() override;
    void recorderTimeArrived(std::uint32_t time) override;

    // The page's current time (recorder clock seconds).
    std::uint32_t currentTime() const;
    // The operator's choices (what the lists and the time chooser deliver).
    void choose(Control control, int entry);
    void chooseTime(Control control, int hour, int minute);
    void chooseForm(DstForm form);
    ValueButton* button(Control control) const { return m_buttons[static_cast<int>(control)]; }
    // Replaces the confirmation box (tests): returns true for OK.
    void setQuestion(std::function<bool()> ask) { m_ask = std::move(ask); }

private:
    void open(Control control);
    void refresh();
    int year() const;
    bool askOperator();

    SetupWindow& m_window;
    const std::vector<DstRule> m_rules;
    std::uint32_t m_base = 0;
    QElapsedTimer m_since;
    bool m_changed = false;
    std::function<bool()> m_ask;
    ValueButton* m_buttons[12] = {};
    QPushButton* m_weekForm = nullptr;
    QPushButton* m_dateForm = nullptr;
    QLabel* m_clock = nullptr;
};

} // namespace kalder
