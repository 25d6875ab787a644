#pragma once

#include "ui/clock_format.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>

class QTimer;

namespace kalder {

// The date and time display of the main window, drawn with glyphs cut from the clock strips of
// the resource library. It lies over its part of the main window (`parent` must be the main
// window: glyph places are in its coordinates) and looks at the time every 100 ms on the GUI
// thread, repainting when the shown second changes.
//
// Main clock: the recorder's clock while live view runs (set by the live stream), otherwise the
// PC's local time. Playback clock: the time its player last gave it.
class ClockDisplay : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTickMs = 100;

    ClockDisplay(ClockVariant variant, QWidget* parent);

    ClockVariant variant() const { return m_variant; }
    void setDateOrder(DateOrder order);

    // Any thread. Main clock: the recorder's clock (seconds since 1970, broken down as UTC)
    // while live view runs; clearRecorderTime when it stops.
    void setRecorderTime(std::int64_t seconds);
    void clearRecorderTime();
    // Any thread. Playback clock: the player's time; a negative time counts as 0.
    void setPlaybackTime(std::int64_t seconds);
    // The time the playback clock shows, for the decode threads' frame times.
    std::int64_t playbackTime() const { return m_playbackTime.load(); }

    // The PC's local time; replaceable for tests.
    void setLocalClock(std::function<CivilTime()> localNow) { m_localNow = std::move(localNow); }
    // Strip pictures by id; loaded from the resource library at creation.
    void setStrips(std::map<int, QImage> strips);

    // The time shown now; checks the clock and repaints when it changed (the 100 ms tick).
    CivilTime shownTime() const { return m_shown; }
    void tick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CivilTime currentTime() const;

    static constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();

    const ClockVariant m_variant;
    DateOrder m_order = DateOrder::YearFirst;
    std::atomic<std::int64_t> m_recorderTime{kNoTime};
    std::atomic<std::int64_t> m_playbackTime{0};
    std::function<CivilTime()> m_localNow;
    std::map<int, QImage> m_strips;
    CivilTime m_shown;
    QTimer* m_timer;
};

} // namespace kalder
