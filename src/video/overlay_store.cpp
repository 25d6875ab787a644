#include "video/overlay_store.h"

#include "resources/resource_library.h"

#include <QFontMetrics>
#include <QPainter>

namespace kalder {

OverlayStore::OverlayStore(const QFont& baseFont)
    : m_fontHeight(overlayFontHeight(kOverlayFontPoints)), m_overlayFont(baseFont),
      m_titleFont(baseFont) {
    m_overlayFont.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                               QStringLiteral("DejaVu Sans")});
    m_overlayFont.setPixelSize(-m_fontHeight);
    m_overlayFont.setWeight(QFont::Bold);

    // The marks' icons, mask and image of each; the overlays draw the images.
    const IconPictures pairs[] = {kPauseIcon,     kPlayIcon,    kReverseIcon, kAudioIcons[0],
                                  kAudioIcons[1], kPtzIcons[0], kPtzIcons[1]};
    for (const IconPictures& pair : pairs) {
        m_icons[pair.maskId] = resourcePicture(pair.maskId);
        m_icons[pair.imageId] = resourcePicture(pair.imageId);
    }
}

int OverlayStore::measure(std::string_view text) const {
    const QFontMetrics metrics(m_titleFont);
    return metrics.horizontalAdvance(
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void OverlayStore::compose(const DecodeHost::OverlayFacts& facts, std::string_view tableTitle,
                           std::string_view modeLabel, const AudioFacts& audio,
                           int framesPerSecond) {
    if (facts.channel >= kSlotCount)
        return;
    OverlayComposer::Picture picture;
    picture.mode = facts.kind;
    // The recorder's own channel number: its audio channel is one of its channels.
    picture.channel = channelOfSlot(facts.channel);
    picture.width = facts.width;
    picture.height = facts.height;
    picture.title = facts.kind == StreamKind::Live ? tableTitle : facts.title;
    picture.modeLabel = modeLabel;
    picture.framesPerSecond = framesPerSecond;
    picture.cellWidth = facts.cell.width;
    picture.charWidth = overlayCharWidth(m_fontHeight);
    picture.audio = audio;
    std::lock_guard lock(m_lock);
    m_overlays[facts.channel] = m_composers[facts.channel].compose(
        picture, [this](std::string_view text) { return measure(text); });
}

void OverlayStore::forgetTitles() {
    std::lock_guard lock(m_lock);
    for (OverlayComposer& composer : m_composers)
        composer.forgetTitle();
}

void OverlayStore::clearAudioMark(unsigned channel) {
    if (channel >= kSlotCount)
        return;
    std::lock_guard lock(m_lock);
    m_overlays[channel].audioMark = -1;
}

ChannelOverlay OverlayStore::overlay(unsigned channel) const {
    std::lock_guard lock(m_lock);
    return channel < kSlotCount ? m_overlays[channel] : ChannelOverlay{};
}

int OverlayStore::titleWidth(std::string_view title) const {
    std::lock_guard lock(m_lock);
    return measure(title);
}

void OverlayStore::setIcons(IconPictureSet icons) {
    std::lock_guard lock(m_lock);
    m_icons = std::move(icons);
}

void OverlayStore::paintCell(QPainter& painter, const CellOverlayFacts& cell,
                             unsigned channel) const {
    std::lock_guard lock(m_lock);
    paintOverlayPlan(painter, planCellOverlay(cell, m_overlays[channel % kSlotCount]),
                     m_overlayFont, m_icons);
}

OverlayPlan OverlayStore::cellPlan(const CellOverlayFacts& cell, unsigned channel) const {
    std::lock_guard lock(m_lock);
    return planCellOverlay(cell, m_overlays[channel % kSlotCount]);
}

void OverlayStore::paintPlan(QPainter& painter, const OverlayPlan& plan) const {
    std::lock_guard lock(m_lock);
    paintOverlayPlan(painter, plan, m_overlayFont, m_icons);
}

void OverlayStore::paintVideoLoss(QPainter& painter, bool osdEnabled, unsigned channel, int x,
                                  int y) const {
    std::lock_guard lock(m_lock);
    paintOverlayPlan(painter, planVideoLossOverlay(osdEnabled, static_cast<int>(channel), x, y),
                     m_overlayFont, m_icons);
}

} // namespace kalder
