#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstdint>
#include <string>

namespace kalder {

// The recording profiles of the Rec tab and the frame-rate budget that binds them. The encoder
// records a fixed number of CIF images a second in total (120 NTSC, 100 PAL); a 2CIF image costs
// two CIF units, a 4CIF image four. Profiles A to E each own a rate and an audio row (C and E a
// sensitivity row too) and a resolution row; block F owns its two on/off rows and its days.
enum class RecProfile : std::uint8_t { A, B, C, D, E, F };

inline constexpr unsigned kRecChannels = 16;
// A set of channels, bit n for channel n.
using ChannelSet = std::uint16_t;

// Resolution codes.
inline constexpr unsigned kRes4Cif = 0;
inline constexpr unsigned kRes2Cif = 1;
inline constexpr unsigned kResCif = 2;

// Channel rows the pages show: the recorder's channel count, 1 .. 16.
unsigned recChannelCount(const SetupContext& context);
// CIF units a second: 100 on a PAL recorder (video_standard nonzero), else 120.
unsigned recBudget(const ConfigRecord& record);
// The highest rate of one channel: 25 PAL, 30 NTSC.
unsigned recMaxRate(const ConfigRecord& record);
// CIF units of one image: 4 for 4CIF, 2 for 2CIF, 1 for CIF. A code the client does not know
// counts as 4CIF, so that the budget never lets such a channel overrun the encoder.
unsigned resolutionCost(unsigned code);

// The profile's resolution code of one channel (its row of `resolution`).
unsigned profileResolution(const ConfigRecord& record, RecProfile profile, unsigned channel);

// Grouped mode: sub_product_num_minor 0, more than four channels and the profile's resolution
// (channel 0's element) CIF. Channels then move in groups of four (0-3, 4-7, 8-11, 12-15).
bool groupedMode(const ConfigRecord& record, const SetupContext& context, RecProfile profile);

// Page C on recorders whose sub_product_num_major is 4: its Rate view switches between the rates
// of profiles C and E, and the budget counts the larger of the two.
bool combinedMotionRates(const SetupContext& context, RecProfile page);

struct ProfileState {
    RecProfile profile = RecProfile::A;
    unsigned channels = 0;
    bool grouped = false;
    std::array<unsigned, kRecChannels> rate{};
    std::array<unsigned, kRecChannels> audio{};
    std::array<unsigned, kRecChannels> resolution{};
    std::array<unsigned, kRecChannels> sensitivity{}; // C and E
    std::array<unsigned, kRecChannels> blockOn1{};    // F
    std::array<unsigned, kRecChannels> blockOn2{};    // F
    unsigned blockDays = 0;                           // F
};

ProfileState readProfile(const ConfigRecord& record, const SetupContext& context,
                         RecProfile profile);

// The channels an action in channel `channel`'s row changes: its group of four in grouped mode,
// else every checked row when its own row is checked, else the channel alone. Only channels the
// page shows; none for a channel beyond them.
ChannelSet changedChannels(unsigned channel, ChannelSet checked, bool grouped, unsigned channels);

// Why a rate change stored less (or more) than the slider asked for.
enum class RateLimit : std::uint8_t {
    None,         // stored as asked
    ChannelMax,   // above the highest rate of one channel (25 PAL, 30 NTSC)
    Budget,       // the channels that do not change leave only this much of the budget
    KeepOneImage, // every rate of the profile would be 0: it records 1 image a second
};

struct RateChange {
    ChannelSet changed = 0;
    unsigned rate = 0;      // what every changed channel now records
    unsigned requested = 0; // the slider's position
    RateLimit limit = RateLimit::None;
    unsigned othersUse = 0;    // CIF units a second of the channels that do not change
    unsigned budget = 0;       // CIF units a second the encoder records in all
    bool audioCleared = false; // a changed channel had audio and records nothing now
};

// The operator moved channel `channel`'s rate slider to `position` on page `page`. `showingE`
// tells that page C's switch shows profile E's rates. The rate is kept within the budget left by
// the channels that do not change (0 when they already use it all), and a profile whose rates
// would all be 0 records 1 image a second instead. A channel set to 0 loses its audio.
RateChange changeRate(ConfigRecord& record, const SetupContext& context, RecProfile page,
                      unsigned channel, unsigned position, ChannelSet checked,
                      bool showingE = false);

// What the rates of a profile page cost: CIF units a second used of the recorder's budget,
// over the channels the page shows (on page C of a sub-product-4 recorder the larger of each
// channel's C and E rates at its profile C resolution, as changeRate counts them).
struct BudgetUse {
    unsigned used = 0;
    unsigned budget = 0;
    bool over() const { return used > budget; }
};
BudgetUse profileBudgetUse(const ConfigRecord& record, const SetupContext& context, RecProfile page,
                           bool showingE = false);

// What the page says after a rate change that stored another value than asked for; empty when
// it stored the slider's position. `firstChannel` is the row whose slider moved.
std::string rateChangeNote(const RateChange& change, unsigned firstChannel);

// The rates a resolution choice gives: T = budget / cost shared out over `channels`, the first
// T mod channels one more.
std::array<unsigned, kRecChannels> defaultDistribution(unsigned budget, unsigned code,
                                                       unsigned channels);

// The operator chose resolution `code` (first row's buttons): all shown elements of the
// profile's row. On 4, 8 and 16-channel recorders the rates of A .. E take the default
// distribution; block F on a sub-product-minor-0 recorder chosen CIF turns on the first on/off
// of every group in which one channel is on. False for an unknown code.
bool chooseResolution(ConfigRecord& record, const SetupContext& context, RecProfile profile,
                      unsigned code);

// Audio On/Off in channel `channel`'s row (and every checked row when it is checked). A channel
// whose rate is 0 keeps audio off (its buttons are disabled). Returns the channels written.
ChannelSet setAudio(ConfigRecord& record, const SetupContext& context, RecProfile page,
                    unsigned channel, bool on, ChannelSet checked);

// Showing the Audio view: every channel recording at rate 0 gets audio off. Returns the channels
// whose audio buttons are disabled.
ChannelSet enterAudioView(ConfigRecord& record, const SetupContext& context, RecProfile page);

// Sensitivity (pages C and E): three levels stored 0 .. 2, shown on a 0 .. 3 slider at 3 - level.
// The slider's top position stores level 0, as position 2 does.
unsigned sensitivityPosition(unsigned stored);
unsigned sensitivityFromPosition(unsigned position);
// The slider of `channel` moved to `position`: the level goes to the channel and its checked
// rows (in grouped mode too). Returns the channels written.
ChannelSet setSensitivity(ConfigRecord& record, const SetupContext& context, RecProfile page,
                          unsigned channel, unsigned position, ChannelSet checked);

// Block F. `which` is 1 or 2. The second on/off of a channel whose first is not on stays off.
ChannelSet setBlockF(ConfigRecord& record, const SetupContext& context, unsigned which,
                     unsigned channel, bool on, ChannelSet checked);
// Showing the second on/off view: channels whose first on/off is not 1 get their second off and
// their buttons disabled (returned).
ChannelSet enterBlockFSecondView(ConfigRecord& record, const SetupContext& context);
// The days slider (0 .. 90): down to a multiple of 5, within 5 .. 90.
unsigned blockFDaysFromPosition(unsigned position);
unsigned setBlockFDays(ConfigRecord& record, unsigned position);

// The Basic page's video standard choice. When the standard changes between NTSC and PAL, every
// shown element of the six resolution rows becomes 4CIF, profile E takes the 4CIF default
// distribution (all 0 on a recorder of another channel count), profiles D, C, B and A copy E,
// and the general recording rate is computed again for its resolution. True when written.
bool changeVideoStandard(ConfigRecord& record, const SetupContext& context, std::uint8_t standard);

} // namespace kalder
