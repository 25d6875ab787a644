#pragma once

#include "video/feed_slots.h"
#include "decode/decode_host.h"
#include "video/cell_renderer.h"
#include "video/overlay_text.h"
#include "wire/channel_count.h"

#include <QFont>

#include <array>
#include <mutex>
#include <string_view>

class QPainter;

namespace kalder {

// The overlays of the sixteen channels: the texts and marks each channel's decode thread
// composes after a picture, the fonts they are measured and drawn with, and the marks' icons.
//
// Threads: compose runs on the channel's decode thread; the painters call paintCell and
// paintVideoLoss on the GUI thread or (software drawing) on a decode thread; the rest anywhere.
// m_lock guards the overlays, the composers (so that forgetTitles may come from any thread) and
// the icons; the fonts are set at construction and then only read, but are measured under the
// lock too. Lock order: a channel's picture lock before this lock.
class OverlayStore {
public:
    // `baseFont`: the window's default font, the one titles are measured in.
    explicit OverlayStore(const QFont& baseFont);

    // Builds the channel's overlay after a decoded picture: the title comes from the title
    // table in live view and from the frame in playback.
    void compose(const DecodeHost::OverlayFacts& facts, std::string_view tableTitle,
                 std::string_view modeLabel, const AudioFacts& audio, int framesPerSecond);
    // The title table changed: titles are fitted again.
    void forgetTitles();
    void clearAudioMark(unsigned channel);
    ChannelOverlay overlay(unsigned channel) const;
    // Width of a title in the title font.
    int titleWidth(std::string_view title) const;
    void setIcons(IconPictureSet icons);
    int fontHeight() const { return m_fontHeight; }

    // Draws the channel's overlay over a cell described by `cell`.
    void paintCell(QPainter& painter, const CellOverlayFacts& cell, unsigned channel) const;
    // The same in two steps, for a painter that keeps what it drew while the plan stays.
    OverlayPlan cellPlan(const CellOverlayFacts& cell, unsigned channel) const;
    void paintPlan(QPainter& painter, const OverlayPlan& plan) const;
    // The video-loss text of a cell at (x, y).
    void paintVideoLoss(QPainter& painter, bool osdEnabled, unsigned channel, int x, int y) const;

private:
    int measure(std::string_view text) const; // m_lock held

    mutable std::mutex m_lock;
    // One per slot of the feed (a channel of one recorder of the site).
    std::array<ChannelOverlay, kSlotCount> m_overlays;   // guarded by m_lock
    std::array<OverlayComposer, kSlotCount> m_composers; // guarded by m_lock
    IconPictureSet m_icons;                              // guarded by m_lock
    int m_fontHeight = -17;
    QFont m_overlayFont;
    QFont m_titleFont;
};

} // namespace kalder
