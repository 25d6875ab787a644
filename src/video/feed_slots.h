#pragma once

#include <cstdint>

namespace kalder {

// Most recorders of a site and the channels of one recorder.
inline constexpr int kMaxRecorders = 4;
inline constexpr int kRecorderChannels = 16;

// The video window draws the channels of every recorder of a site from one feed: channel c of
// the recorder with index r in the site is the feed's slot r × 16 + c, so that a single
// recorder's channels are slots 0-15 as they always were. The decode threads of recorder r
// decode into the slots from r × 16 on and never learn of the others.
inline constexpr unsigned kSlotCount = kMaxRecorders * kRecorderChannels;
// Bit s: slot s.
using SlotMask = std::uint64_t;
static_assert(kSlotCount <= 64, "slot masks are std::uint64_t");

inline constexpr unsigned slotOf(int recorder, int channel) {
    return static_cast<unsigned>(recorder * kRecorderChannels + channel);
}
inline constexpr int recorderOfSlot(unsigned slot) {
    return static_cast<int>(slot / kRecorderChannels);
}
inline constexpr int channelOfSlot(unsigned slot) {
    return static_cast<int>(slot % kRecorderChannels);
}
inline constexpr SlotMask slotBit(unsigned slot) {
    return SlotMask{1} << (slot % kSlotCount);
}
// The sixteen bits of a recorder in a slot mask, as a channel mask.
inline constexpr std::uint16_t recorderChannels(SlotMask slotMask, int recorder) {
    return static_cast<std::uint16_t>(slotMask >> (recorder * kRecorderChannels));
}
// The sixteen slots of a recorder.
inline constexpr SlotMask recorderSlots(int recorder) {
    return SlotMask{0xFFFF} << (recorder * kRecorderChannels);
}
// `slotMask` with the recorder's sixteen bits replaced by `channels`.
inline constexpr SlotMask withRecorderChannels(SlotMask slotMask, int recorder,
                                               std::uint16_t channels) {
    return (slotMask & ~recorderSlots(recorder)) |
           (SlotMask{channels} << (recorder * kRecorderChannels));
}

} // namespace kalder
