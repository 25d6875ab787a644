#include "video/overlay_text.h"

#include <cstdio>

namespace kalder {

namespace {

std::string formatted(const char* format, auto... values) {
    char buffer[300];
    const int length = std::snprintf(buffer, sizeof buffer, format, values...);
    if (length < 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length) < sizeof buffer
                                   ? static_cast<std::size_t>(length)
                                   : sizeof buffer - 1);
}

std::string_view untilNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

} // namespace

int overlayFontHeight(int points) {
    return -static_cast<int>(points * 1.33 + 0.5);
}

int overlayCharWidth(int fontHeight) {
    const int points = static_cast<int>((fontHeight + 0.5) * -(1 / 1.33));
    return static_cast<int>(points * 0.85);
}

int displayWidth(int pictureWidth) {
    return pictureWidth == 352 ? 360 : 720;
}

int titleWidthLimit(int cellWidth) {
    if (cellWidth <= 198)
        return 0;
    if (cellWidth <= 266)
        return 69;
    if (cellWidth <= 401)
        return 121;
    if (cellWidth <= 537)
        return 212;
    return 0;
}

std::string fitTitle(std::string_view title, int cellWidth, const TextWidthFn& textWidth) {
    std::string fitted(untilNul(title).substr(0, kMaxTitleLength));
    const int limit = titleWidthLimit(cellWidth);
    if (limit == 0 || !textWidth)
        return fitted;
    bool cut = false;
    while (!fitted.empty() && textWidth(fitted) > limit) {
        fitted.pop_back();
        cut = true;
    }
    if (!cut)
        return fitted;
    if (fitted.size() > kMaxTitleLength - 3)
        fitted.resize(kMaxTitleLength - 3);
    return fitted + "...";
}

std::string topOverlayText(std::string_view title, int pictureWidth, int pictureHeight) {
    const std::string text(untilNul(title));
    return formatted("%s %dx%d", text.c_str(), displayWidth(pictureWidth), pictureHeight);
}

std::string bottomOverlayText(std::string_view modeLabel, int framesPerSecond) {
    const std::string label(untilNul(modeLabel));
    return formatted("%s  %02d", label.c_str(), framesPerSecond);
}

std::string videoLossText(int channel) {
    return formatted("CH%d  Video Loss", channel + 1);
}

int chooseAudioMark(StreamKind mode, int channel, const AudioFacts& audio) {
    switch (mode) {
    case StreamKind::Live:
        return audio.streamHasAudio && audio.audioChannel == channel ? 0 : -1;
    case StreamKind::RemotePlayback:
    case StreamKind::LocalPlayback:
        return audio.streamHasAudio && audio.normalForward && audio.audioChannel == channel ? 0
                                                                                            : -1;
    case StreamKind::Idle:
        break;
    }
    return -1;
}

ChannelOverlay OverlayComposer::compose(const Picture& picture, const TextWidthFn& textWidth) {
    const std::string_view source = untilNul(picture.title).substr(0, 32);
    if (picture.cellWidth != m_cellWidth || source != m_sourceTitle) {
        m_sourceTitle.assign(source);
        m_fittedTitle = fitTitle(source, picture.cellWidth, textWidth);
        m_cellWidth = picture.cellWidth;
    }
    ChannelOverlay overlay;
    overlay.topText = topOverlayText(m_fittedTitle, picture.width, picture.height);
    overlay.bottomText = bottomOverlayText(picture.modeLabel, picture.framesPerSecond);
    const int bottomWidth = static_cast<int>(overlay.bottomText.size()) * picture.charWidth;
    overlay.speedIconX = bottomWidth + 5;
    overlay.audioMarkX = bottomWidth + 40;
    overlay.audioMark = chooseAudioMark(picture.mode, picture.channel, picture.audio);
    return overlay;
}

std::vector<IconPiece> speedIconPieces(int speedCode) {
    if (speedCode == 0)
        return {{kPauseIcon, 0, 0, 0, kIconSize}};
    if (speedCode == 1)
        return {{kPlayIcon, 0, 0, 0, kIconSize}};
    if (speedCode == -1)
        return {{kReverseIcon, 0, 0, 0, kIconSize}};
    // Fast speeds repeat the arrow part of the play or reverse icon, 7 pixels apart, one more
    // arrow for each step of speed.
    std::vector<IconPiece> pieces;
    if (speedCode >= 2 && speedCode <= 4) {
        for (int arrow = 0; arrow < speedCode; ++arrow)
            pieces.push_back({kPlayIcon, 5, 5 + 7 * arrow, 0, 12 + 7 * arrow});
    } else if (speedCode <= -2 && speedCode >= -4) {
        for (int arrow = 0; arrow < -speedCode; ++arrow)
            pieces.push_back({kReverseIcon, 4, 4 + 7 * arrow, 0, 11 + 7 * arrow});
    }
    return pieces;
}

OverlayPlan planCellOverlay(const CellOverlayFacts& cell, const ChannelOverlay& overlay) {
    OverlayPlan plan;
    if (!cell.osdEnabled)
        return plan;
    plan.texts.push_back({overlay.topText, overlay.topColour, cell.x + 7, cell.y + 3});
    plan.texts.push_back({overlay.bottomText, overlay.bottomColour, cell.x + 7,
                          cell.y + cell.height + cell.fontHeight - 5});
    const int iconY = cell.y + cell.height - 18;
    if (cell.soundDevice && (overlay.audioMark == 0 || overlay.audioMark == 1)) {
        plan.icons.push_back({kAudioIcons[static_cast<std::size_t>(overlay.audioMark)], 0,
                              cell.x + overlay.audioMarkX, iconY, kIconSize});
    }
    if ((cell.ptzState == 1 || cell.ptzState == 2) && cell.channel == cell.ptzChannel) {
        plan.icons.push_back({kPtzIcons[static_cast<std::size_t>(cell.ptzState - 1)], 0,
                              cell.x + kPtzMarkX, iconY, kIconSize});
    }
    const bool playback =
        cell.mode == StreamKind::RemotePlayback || cell.mode == StreamKind::LocalPlayback;
    if (playback && cell.width > 190) {
        for (IconPiece piece : speedIconPieces(cell.speedCode)) {
            piece.x += cell.x + overlay.speedIconX;
            piece.y = iconY;
            plan.icons.push_back(piece);
        }
    }
    return plan;
}

OverlayPlan planVideoLossOverlay(bool osdEnabled, int channel, int x, int y) {
    OverlayPlan plan;
    if (osdEnabled)
        plan.texts.push_back({videoLossText(channel), kTopTextColour, x + 7, y + 3});
    return plan;
}

} // namespace kalder
