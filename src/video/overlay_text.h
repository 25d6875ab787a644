#pragma once

#include "resources/resource_ids.h"
#include "wire/stream_kind.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {

// What the video window draws over a cell: the top line (title and picture size), the bottom
// line (mode label and frame rate), the audio, PTZ and play-speed marks, and the video-loss
// text. Pure composition without fonts or pictures, so the same rules serve the drawing code
// and the tests; the drawing code measures text through a TextWidthFn.

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kTopTextColour{0, 255, 0};
inline constexpr Rgb kBottomTextColour{0, 255, 255};
inline constexpr int kOverlayFontPoints = 13;
inline constexpr int kOverlayFontWeight = 700;
inline constexpr int kIconSize = 16;
inline constexpr int kPtzMarkX = 100;
// Longest title kept, with its "..." (the display title is a 32-character field).
inline constexpr std::size_t kMaxTitleLength = 31;

// Skin pictures of the marks: each icon is a mask (combined with AND) and an image (with OR).
struct IconPictures {
    int maskId;
    int imageId;
    bool operator==(const IconPictures&) const = default;
};
inline constexpr IconPictures kPauseIcon{res::kSpeedPauseMask, res::kSpeedPauseImage};
inline constexpr IconPictures kPlayIcon{res::kSpeedPlayMask, res::kSpeedPlayImage};
inline constexpr IconPictures kReverseIcon{res::kSpeedReverseMask, res::kSpeedReverseImage};
// Audio icon n: mask, then image.
inline constexpr std::array<IconPictures, 2> kAudioIcons{
    {{res::kAudioIconFirst, res::kAudioIconFirst + 1},
     {res::kAudioIconFirst + 2, res::kAudioIconFirst + 3}}};
// PTZ states 1 and 2.
inline constexpr std::array<IconPictures, 2> kPtzIcons{
    {{res::kPtzIconFirst, res::kPtzIconFirst + 1},
     {res::kPtzIconFirst + 2, res::kPtzIconFirst + 3}}};

// Pixel height of the overlay font for a point size (negative: character height), -17 for 13.
int overlayFontHeight(int points);
// Average character width estimated from that height, 10 for -17.
int overlayCharWidth(int fontHeight);

// Width shown in the top line: 360 for a 352-wide picture, otherwise 720.
int displayWidth(int pictureWidth);
// Widest title allowed in a cell of `cellWidth` pixels, 0 for no limit.
int titleWidthLimit(int cellWidth);

using TextWidthFn = std::function<int(std::string_view)>;
// Cuts the title character by character until it fits the cell's limit, then appends "...";
// never longer than kMaxTitleLength characters. Stops at the first NUL of a fixed field.
std::string fitTitle(std::string_view title, int cellWidth, const TextWidthFn& textWidth);

std::string topOverlayText(std::string_view title, int pictureWidth, int pictureHeight);
std::string bottomOverlayText(std::string_view modeLabel, int framesPerSecond);
std::string videoLossText(int channel);

// The texts and marks of one channel, as its decode thread leaves them for the window.
struct ChannelOverlay {
    std::string topText;
    std::string bottomText;
    Rgb topColour = kTopTextColour;
    Rgb bottomColour = kBottomTextColour;
    // -1 none, 0 the first audio icon, 1 the second.
    int audioMark = -1;
    int audioMarkX = 157;
    int speedIconX = 117;
};

// Audio facts of the running stream that decide the audio mark.
struct AudioFacts {
    // Some channel's audio rides in the stream (live, remote playback) or the local player
    // plays audio.
    bool streamHasAudio = false;
    // Channel whose audio is being played, -1 none.
    int audioChannel = -1;
    // The playback runs forward at normal speed (ignored in live view).
    bool normalForward = false;
};

int chooseAudioMark(StreamKind mode, int channel, const AudioFacts& audio);

// Builds a channel's overlay after each decoded picture. One per channel, used by that
// channel's decode thread only; remembers the fitted title so that it is measured again only
// when the title or the cell width changes.
class OverlayComposer {
public:
    struct Picture {
        StreamKind mode = StreamKind::Live;
        int channel = 0;
        int width = 352;
        int height = 240;
        // Live: the channel's entry of the title table; playback: the frame's title.
        std::string_view title;
        std::string_view modeLabel;
        int framesPerSecond = 0;
        int cellWidth = 0;
        int charWidth = 10;
        AudioFacts audio;
    };

    ChannelOverlay compose(const Picture& picture, const TextWidthFn& textWidth);
    // A new channel configuration arrived: fit the title again on the next picture.
    void forgetTitle() { m_cellWidth = -1; }

private:
    std::string m_sourceTitle;
    std::string m_fittedTitle;
    int m_cellWidth = -1;
};

// One piece of an icon drawn in a cell: `width` columns of the picture from `sourceX`, to
// (x, y). A piece that reaches past the picture's right edge is drawn up to that edge.
struct IconPiece {
    IconPictures pictures;
    int sourceX;
    int x;
    int y;
    int width;
    bool operator==(const IconPiece&) const = default;
};

// Pieces of the play-speed icon for a speed code (0 pause, 1 play, 2-4 fast forward, -1
// reverse, -2 to -4 fast reverse), relative to the icon's position; empty for other codes.
std::vector<IconPiece> speedIconPieces(int speedCode);

struct OverlayTextItem {
    std::string text;
    Rgb colour;
    // Top left of the text.
    int x;
    int y;
    bool operator==(const OverlayTextItem&) const = default;
};

struct OverlayPlan {
    std::vector<OverlayTextItem> texts;
    std::vector<IconPiece> icons;
    bool operator==(const OverlayPlan&) const = default;
};

// What is drawn over one cell at (x, y) of width × height showing `channel`.
struct CellOverlayFacts {
    bool osdEnabled = true;
    StreamKind mode = StreamKind::Idle;
    int channel = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int fontHeight = -17;
    bool soundDevice = true;
    // 0 off, 1 or 2.
    int ptzState = 0;
    int ptzChannel = -1;
    int speedCode = 1;
};

OverlayPlan planCellOverlay(const CellOverlayFacts& cell, const ChannelOverlay& overlay);
OverlayPlan planVideoLossOverlay(bool osdEnabled, int channel, int x, int y);

} // namespace kalder
