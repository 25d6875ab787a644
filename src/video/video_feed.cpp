#include "video/video_feed.h"

#include "post/post_to_window.h"

#include <QEvent>
#include <QFont>

#include <algorithm>
#include <chrono>

namespace kalder {

namespace {

// Frame rates are measured over the last 2 seconds and updated every half second.
constexpr int kFeedRateWindowMs = 2000;
constexpr int kFeedRateStepMs = 500;

std::int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A ring on its way to the doorbell's thread.
class DoorbellRingEvent final : public QEvent {
public:
    explicit DoorbellRingEvent(FeedDoorbell::Ring which) : QEvent(eventType()), ring(which) {}

    static QEvent::Type eventType() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    const FeedDoorbell::Ring ring;
};

} // namespace

void FeedDoorbell::ring(Ring which) {
    postToWindow(this, new DoorbellRingEvent(which));
}

bool FeedDoorbell::event(QEvent* event) {
    if (event->type() != DoorbellRingEvent::eventType())
        return QObject::event(event);
    if (static_cast<const DoorbellRingEvent*>(event)->ring == Ring::PicturesDrawn)
        emit picturesDrawn();
    else
        emit sceneChanged();
    return true;
}

VideoFeed::VideoFeed(const QFont& font)
    : m_pictures(kSlotCount), m_overlays(font), m_rateClock(steadyMilliseconds) {
    for (auto& start : m_rateStartMs)
        start.store(-1);
}

VideoFeed::~VideoFeed() = default;

// ---- GUI thread ----------------------------------------------------------------------------

std::uint16_t VideoFeed::replaceChannels(std::atomic<SlotMask>& slotMask, int recorder,
                                         std::uint16_t channels) {
    SlotMask old = slotMask.load();
    while (!slotMask.compare_exchange_weak(old, withRecorderChannels(old, recorder, channels))) {
    }
    return recorderChannels(old, recorder);
}

void VideoFeed::publishGeometry(const std::array<QRect, kSlotCount>& rects, SlotMask visible) {
    std::lock_guard lock(m_geometryLock);
    m_slotRects = rects;
    m_visibleSlots = visible;
}

void VideoFeed::publishZooms(const std::array<CellViewZoom, kSlotCount>& zooms) {
    std::lock_guard lock(m_geometryLock);
    m_slotZooms = zooms;
}

CellViewZoom VideoFeed::channelZoom(unsigned slot) const {
    std::lock_guard lock(m_geometryLock);
    return m_slotZooms[slot % kSlotCount];
}

void VideoFeed::changeCells(const std::function<void()>& change) {
    std::unique_lock cells(m_cellsLock);
    change();
    VideoPainter* painter = m_painter.load();
    for (unsigned slot = 0; slot < kSlotCount; ++slot)
        painter->cellChanged(slot);
}

void VideoFeed::invalidateCells() {
    VideoPainter* painter = m_painter.load();
    for (unsigned slot = 0; slot < kSlotCount; ++slot) {
        std::lock_guard lock(m_pictures.lock(slot));
        painter->cellChanged(slot);
    }
}

// The rate is the pictures of the last 2 seconds over the time they cover, rounded up: a
// channel that has streamed for 2 seconds shows half its count, as a 2-second period would, and
// a channel that has just started (a new page or layout asked for it) shows its rate after half
// a second instead of "00" for a whole period. The time covered starts at the channel's first
// picture, and is taken as at least a quarter of a second so that one early picture does not
// read as a high rate.
void VideoFeed::updateFrameRates() {
    const std::int64_t nowMs = m_rateClock();
    m_rateStep = (m_rateStep + 1) % kRateSteps;
    for (unsigned ch = 0; ch < kSlotCount; ++ch) {
        auto& steps = m_rateCounts[ch];
        steps[static_cast<std::size_t>(m_rateStep)] = m_frameCounts[ch].exchange(0);
        std::int64_t sum = 0;
        for (int count : steps)
            sum += count;
        const std::int64_t start = m_rateStartMs[ch].load();
        if (sum == 0 || start < 0) {
            // Idle for 2 seconds: the next picture starts a new measure.
            if (sum == 0)
                m_rateStartMs[ch].store(-1);
            m_framesPerSecond[ch].store(0);
            continue;
        }
        const std::int64_t covered =
            std::clamp<std::int64_t>(nowMs - start, kFeedRateStepMs / 2, kFeedRateWindowMs);
        m_framesPerSecond[ch].store(static_cast<int>((sum * 1000 + covered - 1) / covered));
    }
}

void VideoFeed::setFrameRateClock(std::function<std::int64_t()> nowMs) {
    m_rateClock = std::move(nowMs);
}

// ---- any thread ----------------------------------------------------------------------------

int VideoFeed::framesPerSecond(unsigned slot) const {
    return slot < kSlotCount ? m_framesPerSecond[slot].load() : 0;
}

CellContent VideoFeed::cellContent(unsigned ch) const {
    const bool live = m_mode.load() == StreamKind::Live;
    const bool hidden = (m_hidden.load() & slotBit(ch)) != 0;
    if (m_drawable.load() & slotBit(ch)) {
        if (live && hidden)
            return CellContent::Covert;
        return m_pictures.decoded(ch) ? CellContent::Picture : CellContent::Idle;
    }
    if (live && (m_videoLoss.load() & slotBit(ch)))
        return CellContent::VideoLoss;
    if (live && hidden)
        return CellContent::Covert;
    return CellContent::Idle;
}

void VideoFeed::setVideoLossMask(std::uint16_t mask, int recorder) {
    if (replaceChannels(m_videoLoss, recorder, mask) != mask)
        m_doorbell.ring(FeedDoorbell::Ring::SceneChanged);
}

void VideoFeed::setHiddenChannels(std::uint16_t mask, int recorder) {
    if (replaceChannels(m_hidden, recorder, mask) != mask)
        m_doorbell.ring(FeedDoorbell::Ring::SceneChanged);
}

void VideoFeed::setPtzMark(int state, int channel) {
    m_ptzState.store(state);
    m_ptzChannel.store(channel);
}

void VideoFeed::setSpeedCode(int code) {
    if (m_speedCode.exchange(code) == code)
        return;
    const StreamKind mode = m_mode.load();
    if (mode != StreamKind::RemotePlayback && mode != StreamKind::LocalPlayback)
        return; // no cell shows the mark
    // The mark is part of every cell's overlays: a paused cell gets no new picture to carry the
    // new one, so its drawn image is stale now.
    invalidateCells();
    m_doorbell.ring(FeedDoorbell::Ring::SceneChanged);
}

CellOverlayFacts VideoFeed::overlayFacts(unsigned ch, QSize size) const {
    CellOverlayFacts facts;
    facts.osdEnabled = true;
    facts.mode = m_mode.load();
    facts.channel = static_cast<int>(ch);
    facts.width = size.width();
    facts.height = size.height();
    facts.fontHeight = m_overlays.fontHeight();
    facts.soundDevice = m_soundDevice.load();
    facts.ptzState = m_ptzState.load();
    facts.ptzChannel = m_ptzChannel.load();
    facts.speedCode = m_speedCode.load();
    return facts;
}

void VideoFeed::paintOverlays(QPainter& painter, unsigned ch, QSize size) const {
    m_overlays.paintCell(painter, overlayFacts(ch, size), ch);
}

OverlayPlan VideoFeed::overlayPlan(unsigned ch, QSize size) const {
    return m_overlays.cellPlan(overlayFacts(ch, size), ch);
}

// ---- decode threads ------------------------------------------------------------------------

void VideoFeed::composeOverlay(const DecodeHost::OverlayFacts& facts, std::string_view tableTitle,
                               std::string_view modeLabel, const AudioFacts& audio) {
    if (facts.channel >= kSlotCount)
        return;
    m_overlays.compose(facts, tableTitle, modeLabel, audio,
                       m_framesPerSecond[facts.channel].load());
}

void VideoFeed::pictureCleared(unsigned channel) {
    m_painter.load()->invalidate(channel % kSlotCount);
}

void VideoFeed::drawChannel(unsigned channel) {
    channel %= kSlotCount;
    // A channel that delivers pictures is present and drawable.
    m_present.fetch_or(slotBit(channel));
    m_drawable.fetch_or(slotBit(channel));
    QRect rect;
    // No change of the cells while this one is drawn.
    std::shared_lock cells(m_cellsLock);
    {
        std::lock_guard lock(m_geometryLock);
        if (!(m_visibleSlots & slotBit(channel)))
            return;
        rect = m_slotRects[channel];
    }
    // Unseen: the picture waits in the store; showing the window draws every cell anew.
    if (m_unseen.load() || rect.isEmpty() ||
        !m_painter.load()->pictureArrived(channel, rect.size()))
        return;
    if (m_stats)
        m_stats->pictureReceived(channel, m_pictures.arrival(channel));
    // One ring for any number of pictures drawn before the GUI thread pulls them.
    if (m_dirty.fetch_or(slotBit(channel)) == 0)
        m_doorbell.ring(FeedDoorbell::Ring::PicturesDrawn);
}

CellSize VideoFeed::cellSize(unsigned channel) const {
    std::lock_guard lock(m_geometryLock);
    const QRect& rect = m_slotRects[channel % kSlotCount];
    // A zoomed cell shows its picture as large as a cell that many times larger would: what a
    // small cell may leave out (the deblocking filter) shows there.
    const double factor = m_slotZooms[channel % kSlotCount].factor;
    return {static_cast<int>(rect.width() * factor), static_cast<int>(rect.height() * factor)};
}

void VideoFeed::countFrame(unsigned channel) {
    channel %= kSlotCount;
    m_frameCounts[channel].fetch_add(1);
    if (m_rateStartMs[channel].load(std::memory_order_relaxed) < 0) {
        std::int64_t idle = -1;
        m_rateStartMs[channel].compare_exchange_strong(idle, m_rateClock());
    }
}

} // namespace kalder
