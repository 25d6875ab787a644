#pragma once

#include "decode/decode_host.h"
#include "decode/picture_store.h"
#include "decode/picture_target.h"
#include "video/cell_view_zoom.h"
#include "video/feed_slots.h"
#include "video/overlay_store.h"
#include "video/overlay_text.h"
#include "video/video_paint_stats.h"
#include "video/video_painter.h"
#include "wire/channel_count.h"
#include "wire/stream_kind.h"

#include <QObject>
#include <QRect>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string_view>

class QFont;

namespace kalder {

// The bit of a channel in a 16-channel mask.
inline std::uint16_t channelBit(unsigned channel) {
    return static_cast<std::uint16_t>(1u << channel);
}

// What a cell shows.
enum class CellContent { Picture, Idle, VideoLoss, Covert };

// The GUI-thread object the feed's rings are delivered to. A ring carries nothing: its receiver
// pulls the feed's current state, so a late ring only repaints what is true now and needs no
// generation to be dropped by.
class FeedDoorbell final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    enum class Ring { PicturesDrawn, SceneChanged };
    // From any thread: the ring is posted (postToWindow) and its signal emitted on the
    // doorbell's thread.
    void ring(Ring which);

signals:
    // New pictures were drawn into cells: repaint the feed's dirty channels.
    void picturesDrawn();
    // What the cells show changed (video loss, covert channels, the speed mark): repaint all.
    void sceneChanged();

protected:
    bool event(QEvent* event) override;
};

// What the video window shows, as the threads that feed it see it: the pictures the decode
// threads decode into, the overlays they compose, the channel masks and marks other threads set,
// the cell geometry the window publishes, and each channel's frame count. It holds no widget:
// decode threads, the receive thread and the players write here and ring the doorbell; the
// window (GUI thread) pulls from here when it rings, and reads it when it paints.
//
// Threads: the functions under "GUI thread" run there; the rest on any thread. A channel's
// picture is guarded by its picture lock; the overlays by the overlay store's lock; the cell
// geometry by m_geometryLock; the masks and marks are atomics. A decode thread draws a cell
// holding the cells lock shared, which a change of the cells holds exclusively. Lock order:
// picture locks (in channel order) -> cells lock -> overlay lock -> geometry lock. The painter
// pointer is switched on the GUI thread while decode threads may use the old one: both painters
// live as long as the feed's owner.
class VideoFeed final : public PictureTarget {
public:
    // GUI thread; `font`: the window's default font, the one titles are measured in.
    explicit VideoFeed(const QFont& font);
    ~VideoFeed() override;

    FeedDoorbell& doorbell() { return m_doorbell; }
    PictureStore& pictures() { return m_pictures; }
    const PictureStore& pictures() const { return m_pictures; }
    OverlayStore& overlays() { return m_overlays; }
    const OverlayStore& overlays() const { return m_overlays; }
    // Paint statistics for a benchmark (KALDER_VIDEO_STATS), else null.
    VideoPaintStats* stats() const { return m_stats.get(); }

    // ---- GUI thread ----

    void setPainter(VideoPainter* painter) { m_painter.store(painter); }
    VideoPainter* painter() const { return m_painter.load(); }
    void setStats(std::unique_ptr<VideoPaintStats> stats) { m_stats = std::move(stats); }
    void setMode(StreamKind kind) { m_mode.store(kind); }
    void setOverlaysOn(bool on) { m_osdEnabled.store(on); }
    void setPlanar(bool on) { m_planar.store(on); }
    // The local setting "Faster decoding in small cells" (on unless the operator turns it off).
    void setCheaperSmallCells(bool on) { m_cheaperSmallCells.store(on); }
    // The window is minimized or hidden: the decoders decode key frames only and the pictures
    // stay in the store, undrawn, until the window shows again (which redraws every cell).
    void setUnseen(bool unseen) { m_unseen.store(unseen); }
    // Remote playback faster than twice normal speed: key frames only.
    void setFastPlay(bool fast) { m_fastPlay.store(fast); }
    // Where each slot's cell lies and which slots are visible, for the decode threads.
    void publishGeometry(const std::array<QRect, kSlotCount>& rects, SlotMask visible);
    // The digital zoom of each slot's cell; the caller then tells the painter which cells
    // changed.
    void publishZooms(const std::array<CellViewZoom, kSlotCount>& zooms);
    // Present channels of a recorder (those that deliver pictures or the owner says stream);
    // drawable ones show their pictures. Present is returned as it was.
    std::uint16_t setPresent(std::uint16_t mask, int recorder = 0) {
        return replaceChannels(m_present, recorder, mask);
    }
    void setDrawable(std::uint16_t mask, int recorder = 0) {
        replaceChannels(m_drawable, recorder, mask);
    }
    // Every recorder's drawable channels at once.
    void setDrawableSlots(SlotMask slotMask) { m_drawable.store(slotMask); }
    void setStreamChannels(std::uint16_t mask, int recorder = 0) {
        replaceChannels(m_streamChannels, recorder, mask);
    }
    // Takes the slots drawn since the last call.
    SlotMask takeDirty() { return m_dirty.exchange(0); }
    // Runs `change` while no decode thread draws a cell, so that none is drawn half-way through
    // it; every cell counts as changed afterwards. (It once held every picture lock instead:
    // the 64 slots' locks at once are more than the thread sanitizer's deadlock detector can
    // follow, and a change needs the drawing held off, not the pictures.)
    void changeCells(const std::function<void()>& change);
    // Every cell's drawn image is stale.
    void invalidateCells();

    // Frame rates: a half-second step of the measure (the window's timer), and the steady clock
    // (milliseconds) it runs on; tests set their own before any picture is counted.
    void updateFrameRates();
    void setFrameRateClock(std::function<std::int64_t()> nowMs);

    // ---- any thread ----

    StreamKind mode() const { return m_mode.load(); }
    bool overlaysOn() const { return m_osdEnabled.load(); }
    bool planarPictures() const { return m_planar.load(); }
    // A recorder's channel masks (recorder 0's by default), and every slot's.
    std::uint16_t present(int recorder = 0) const {
        return recorderChannels(m_present.load(), recorder);
    }
    std::uint16_t drawable(int recorder = 0) const {
        return recorderChannels(m_drawable.load(), recorder);
    }
    std::uint16_t streamChannels(int recorder = 0) const {
        return recorderChannels(m_streamChannels.load(), recorder);
    }
    SlotMask presentSlots() const { return m_present.load(); }
    SlotMask streamSlots() const { return m_streamChannels.load(); }
    // Of a slot (a channel of recorder 0 is its own slot).
    int framesPerSecond(unsigned slot) const;
    CellContent cellContent(unsigned slot) const;
    CellViewZoom channelZoom(unsigned slot) const;

    void setVideoLossMask(std::uint16_t mask, int recorder = 0);
    void setHiddenChannels(std::uint16_t mask, int recorder = 0);
    // Marks shown in the overlays: PTZ state (0 off, 1, 2) and channel, play-speed code, and
    // whether a sound output device exists.
    void setPtzMark(int state, int channel);
    void setSpeedCode(int code);
    void setSoundDevice(bool present) { m_soundDevice.store(present); }

    // The channel's overlays over a cell of `size` at the painter's origin, in one step or in
    // two (what would be drawn, then drawing it).
    void paintOverlays(QPainter& painter, unsigned channel, QSize size) const;
    OverlayPlan overlayPlan(unsigned channel, QSize size) const;
    void paintOverlayPlan(QPainter& painter, const OverlayPlan& plan) const {
        m_overlays.paintPlan(painter, plan);
    }

    // ---- decode thread of the channel ----

    // Builds the channel's overlay after a decoded picture: the title comes from the title
    // table in live view and from the frame in playback.
    void composeOverlay(const DecodeHost::OverlayFacts& facts, std::string_view tableTitle,
                        std::string_view modeLabel, const AudioFacts& audio);

    // PictureTarget
    bool isAccelerated() const override { return m_planar.load(); }
    // Both drawing modes draw from planar pictures: the RGB mode converts each straight into its
    // cell, which costs less than a full-size BGR picture scaled down afterwards.
    bool wantsPlanarPictures() const override { return true; }
    void pictureCleared(unsigned channel) override;
    void drawChannel(unsigned channel) override;
    CellSize cellSize(unsigned channel) const override;
    bool cheaperSmallCells() const override { return m_cheaperSmallCells.load(); }
    bool keyFramesOnly() const override { return m_unseen.load() || m_fastPlay.load(); }
    void countFrame(unsigned channel) override;

private:
    // Replaces the recorder's sixteen bits of `slotMask`; returns them as they were.
    static std::uint16_t replaceChannels(std::atomic<SlotMask>& slotMask, int recorder,
                                         std::uint16_t channels);
    CellOverlayFacts overlayFacts(unsigned channel, QSize size) const;

    FeedDoorbell m_doorbell; // lives on the GUI thread
    PictureStore m_pictures;
    OverlayStore m_overlays;
    std::atomic<VideoPainter*> m_painter{nullptr};
    std::unique_ptr<VideoPaintStats> m_stats; // set before any decoder runs

    std::atomic<StreamKind> m_mode{StreamKind::Idle};
    std::atomic<SlotMask> m_present{0};
    std::atomic<SlotMask> m_streamChannels{0};
    std::atomic<SlotMask> m_drawable{0};
    std::atomic<SlotMask> m_hidden{0};
    std::atomic<SlotMask> m_videoLoss{0};
    std::atomic<SlotMask> m_dirty{0};
    std::atomic<bool> m_osdEnabled{true};
    std::atomic<bool> m_cheaperSmallCells{true};
    std::atomic<bool> m_unseen{false};
    std::atomic<bool> m_fastPlay{false};
    std::atomic<bool> m_planar{false};
    std::atomic<int> m_ptzState{0};
    std::atomic<int> m_ptzChannel{-1};
    std::atomic<int> m_speedCode{1};
    std::atomic<bool> m_soundDevice{true};

    std::array<std::atomic<int>, kSlotCount> m_frameCounts{};
    std::array<std::atomic<int>, kSlotCount> m_framesPerSecond{};
    // Counts of the last four half-second steps (GUI thread), and when each channel's first
    // picture after 2 idle seconds was counted (-1: none yet; set by its decode thread, reset by
    // the GUI thread).
    static constexpr int kRateSteps = 4;
    std::array<std::array<int, kRateSteps>, kSlotCount> m_rateCounts{};
    std::array<std::atomic<std::int64_t>, kSlotCount> m_rateStartMs{};
    int m_rateStep = 0;
    std::function<std::int64_t()> m_rateClock;

    // Shared by a decode thread while it draws a cell, exclusive while the cells change.
    std::shared_mutex m_cellsLock;
    mutable std::mutex m_geometryLock;
    std::array<QRect, kSlotCount> m_slotRects;          // guarded by m_geometryLock
    SlotMask m_visibleSlots = 0;                        // guarded by m_geometryLock
    std::array<CellViewZoom, kSlotCount> m_slotZooms{}; // guarded by m_geometryLock
};

} // namespace kalder
