#include "setup/model/profile_page.h"

#include "setup/model/recording_page.h"

#include <algorithm>
#include <bit>

namespace kalder {

namespace {

struct ProfileFields {
    const ConfigField* rate;
    const ConfigField* audio;
    const ConfigField* sensitivity;
};

ProfileFields fieldsOf(RecProfile profile) {
    switch (profile) {
    case RecProfile::A:
        return {&configField("profile_a_rate"), &configField("profile_a_audio"), nullptr};
    case RecProfile::B:
        return {&configField("profile_b_rate"), &configField("profile_b_audio"), nullptr};
    case RecProfile::C:
        return {&configField("profile_c_rate"), &configField("profile_c_audio"),
                &configField("profile_c_sensitivity")};
    case RecProfile::D:
        return {&configField("profile_d_rate"), &configField("profile_d_audio"), nullptr};
    case RecProfile::E:
        return {&configField("profile_e_rate"), &configField("profile_e_audio"),
                &configField("profile_e_sensitivity")};
    case RecProfile::F:
        break;
    }
    return {nullptr, nullptr, nullptr};
}

constexpr const ConfigField& kResolution = configField("resolution");

ChannelSet shownChannels(unsigned channels) {
    return static_cast<ChannelSet>((1u << channels) - 1u);
}

bool inSet(ChannelSet set, unsigned channel) {
    return channel < kRecChannels && ((set >> channel) & 1u) != 0;
}

unsigned rowOf(RecProfile profile) {
    return static_cast<unsigned>(profile);
}

void writeResolutionRow(ConfigRecord& record, RecProfile profile, unsigned channels,
                        unsigned code) {
    for (unsigned ch = 0; ch < channels; ++ch)
        record.setValue(kResolution, kRecChannels * rowOf(profile) + ch, code);
}

} // namespace

unsigned recChannelCount(const SetupContext& context) {
    return std::clamp(context.channelNum, 1u, kRecChannels);
}

unsigned recBudget(const ConfigRecord& record) {
    return record.value(configField("video_standard")) != 0 ? 100 : 120;
}

unsigned recMaxRate(const ConfigRecord& record) {
    return record.value(configField("video_standard")) != 0 ? 25 : 30;
}

unsigned resolutionCost(unsigned code) {
    switch (code) {
    case kRes2Cif:
        return 2;
    case kResCif:
        return 1;
    default:
        return 4;
    }
}

unsigned profileResolution(const ConfigRecord& record, RecProfile profile, unsigned channel) {
    return record.value(kResolution, kRecChannels * rowOf(profile) + channel);
}

bool groupedMode(const ConfigRecord& record, const SetupContext& context, RecProfile profile) {
    return context.subProductMinor == 0 && recChannelCount(context) > 4 &&
           profileResolution(record, profile, 0) == kResCif;
}

bool combinedMotionRates(const SetupContext& context, RecProfile page) {
    return page == RecProfile::C && context.subProductMajor == 4;
}

ProfileState readProfile(const ConfigRecord& record, const SetupContext& context,
                         RecProfile profile) {
    ProfileState state;
    state.profile = profile;
    state.channels = recChannelCount(context);
    state.grouped = groupedMode(record, context, profile);
    const ProfileFields f = fieldsOf(profile);
    for (unsigned ch = 0; ch < kRecChannels; ++ch) {
        state.resolution[ch] = profileResolution(record, profile, ch);
        if (f.rate) {
            state.rate[ch] = record.value(*f.rate, ch);
            state.audio[ch] = record.value(*f.audio, ch);
        }
        if (f.sensitivity)
            state.sensitivity[ch] = record.value(*f.sensitivity, ch);
        state.blockOn1[ch] = record.value(configField("block_f_on_1"), ch);
        state.blockOn2[ch] = record.value(configField("block_f_on_2"), ch);
    }
    state.blockDays = record.value(configField("block_f_days"));
    return state;
}

ChannelSet changedChannels(unsigned channel, ChannelSet checked, bool grouped, unsigned channels) {
    if (channel >= channels || channel >= kRecChannels)
        return 0;
    const ChannelSet shown = shownChannels(channels);
    if (grouped)
        return static_cast<ChannelSet>((0xFu << (channel / 4 * 4)) & shown);
    if (inSet(checked, channel))
        return static_cast<ChannelSet>(checked & shown);
    return static_cast<ChannelSet>(1u << channel);
}

RateChange changeRate(ConfigRecord& record, const SetupContext& context, RecProfile page,
                      unsigned channel, unsigned position, ChannelSet checked, bool showingE) {
    if (page == RecProfile::F)
        return {};
    const unsigned n = recChannelCount(context);
    const bool combined = combinedMotionRates(context, page);
    const RecProfile shown = combined && showingE ? RecProfile::E : page;
    const bool grouped = groupedMode(record, context, page);
    const ChannelSet changed = changedChannels(channel, checked, grouped, n);
    if (changed == 0)
        return {};
    const unsigned k = static_cast<unsigned>(std::popcount(changed));

    const ProfileFields f = fieldsOf(shown);
    const ConfigField& rateC = configField("profile_c_rate");
    const ConfigField& rateE = configField("profile_e_rate");
    // What a channel that does not change costs: its rate times its resolution's cost; on the
    // combined page the larger of its C and E rates at its profile C resolution.
    const RecProfile costProfile = combined ? RecProfile::C : shown;
    unsigned used = 0;
    for (unsigned j = 0; j < n; ++j) {
        if (inSet(changed, j))
            continue;
        const unsigned rate = combined ? std::max(record.value(rateC, j), record.value(rateE, j))
                                       : record.value(*f.rate, j);
        used += rate * resolutionCost(profileResolution(record, costProfile, j));
    }
    const unsigned budget = recBudget(record);
    const unsigned cost = resolutionCost(profileResolution(record, costProfile, channel)) * k;
    // Channels that already use the whole budget leave nothing: the changed ones get 0 (and
    // then 1 if nothing else records).
    const unsigned limit = used < budget ? (budget - used) / cost : 0;
    RateChange result;
    result.changed = changed;
    result.requested = position;
    result.othersUse = used;
    result.budget = budget;
    unsigned rate = std::min(position, recMaxRate(record));
    if (rate < position)
        result.limit = RateLimit::ChannelMax;
    if (rate >= limit) {
        if (rate > limit)
            result.limit = RateLimit::Budget;
        rate = limit;
    }

    unsigned total = 0;
    for (unsigned j = 0; j < n; ++j)
        total += inSet(changed, j) ? rate : record.value(*f.rate, j);
    if (total == 0) {
        rate = 1;
        if (position != 1)
            result.limit = RateLimit::KeepOneImage;
    }

    // A channel that records nothing records no sound: on the combined page that is profile
    // C's audio whichever rates are shown.
    const ConfigField& audio = combined ? configField("profile_c_audio") : *f.audio;
    for (unsigned j = 0; j < n; ++j) {
        if (!inSet(changed, j))
            continue;
        record.setValue(*f.rate, j, rate);
        if (rate == 0) {
            result.audioCleared = result.audioCleared || record.value(audio, j) != 0;
            record.setValue(audio, j, 0);
        }
    }
    result.rate = rate;
    return result;
}

BudgetUse profileBudgetUse(const ConfigRecord& record, const SetupContext& context, RecProfile page,
                           bool showingE) {
    BudgetUse use;
    use.budget = recBudget(record);
    if (page == RecProfile::F)
        return use;
    const unsigned n = recChannelCount(context);
    const bool combined = combinedMotionRates(context, page);
    const RecProfile shown = combined && showingE ? RecProfile::E : page;
    const ProfileFields f = fieldsOf(shown);
    const RecProfile costProfile = combined ? RecProfile::C : shown;
    for (unsigned j = 0; j < n; ++j) {
        const unsigned rate = combined ? std::max(record.value(configField("profile_c_rate"), j),
                                                  record.value(configField("profile_e_rate"), j))
                                       : record.value(*f.rate, j);
        use.used += rate * resolutionCost(profileResolution(record, costProfile, j));
    }
    return use;
}

std::string rateChangeNote(const RateChange& change, unsigned firstChannel) {
    if (change.limit == RateLimit::None || change.changed == 0)
        return {};
    auto two = [](unsigned v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    const unsigned others = static_cast<unsigned>(std::popcount(change.changed)) - 1;
    std::string who = "CH" + two(firstChannel + 1);
    if (others > 0)
        who +=
            " and " + std::to_string(others) + (others == 1 ? " other channel" : " other channels");
    const std::string asked = std::to_string(change.requested);
    const std::string got = std::to_string(change.rate);
    std::string note;
    switch (change.limit) {
    case RateLimit::ChannelMax:
        note = who + " set to " + got + " instead of " + asked +
               " images a second: one channel records at most " + got + ".";
        break;
    case RateLimit::Budget:
        note = who + " set to " + got + " instead of " + asked + " images a second: the other " +
               "channels use " + std::to_string(change.othersUse) + " of the " +
               std::to_string(change.budget) + " CIF images a second the recorder can record";
        note += change.rate == 0 ? "; lower another channel first." : ".";
        break;
    case RateLimit::KeepOneImage:
        note = who + " set to 1 instead of " + asked +
               " images a second: a profile records at least one image a second.";
        break;
    case RateLimit::None:
        break;
    }
    if (change.audioCleared)
        note += " Its audio recording was turned off: a channel that records no images records no "
                "sound.";
    return note;
}

std::array<unsigned, kRecChannels> defaultDistribution(unsigned budget, unsigned code,
                                                       unsigned channels) {
    std::array<unsigned, kRecChannels> rates{};
    channels = std::clamp(channels, 1u, kRecChannels);
    const unsigned total = budget / resolutionCost(code);
    for (unsigned ch = 0; ch < channels; ++ch)
        rates[ch] = total / channels + (ch < total % channels ? 1 : 0);
    return rates;
}

bool chooseResolution(ConfigRecord& record, const SetupContext& context, RecProfile profile,
                      unsigned code) {
    if (code > kResCif)
        return false;
    const unsigned n = recChannelCount(context);
    writeResolutionRow(record, profile, n, code);
    if (profile == RecProfile::F) {
        if (code == kResCif && context.subProductMinor == 0) {
            const ConfigField& on1 = configField("block_f_on_1");
            for (unsigned group = 0; group < n; group += 4) {
                const unsigned end = std::min(group + 4, n);
                bool anyOn = false;
                for (unsigned ch = group; ch < end; ++ch)
                    anyOn = anyOn || record.value(on1, ch) == 1;
                if (anyOn)
                    for (unsigned ch = group; ch < end; ++ch)
                        record.setValue(on1, ch, 1);
            }
        }
        return true;
    }
    if (n == 4 || n == 8 || n == 16) {
        const auto rates = defaultDistribution(recBudget(record), code, n);
        const ConfigField& rate = *fieldsOf(profile).rate;
        for (unsigned ch = 0; ch < n; ++ch)
            record.setValue(rate, ch, rates[ch]);
    }
    return true;
}

ChannelSet setAudio(ConfigRecord& record, const SetupContext& context, RecProfile page,
                    unsigned channel, bool on, ChannelSet checked) {
    const ProfileFields f = fieldsOf(page);
    if (!f.audio)
        return 0;
    const unsigned n = recChannelCount(context);
    const ChannelSet changed = changedChannels(channel, checked, false, n);
    ChannelSet written = 0;
    for (unsigned j = 0; j < n; ++j) {
        if (!inSet(changed, j) || record.value(*f.rate, j) == 0)
            continue;
        record.setValue(*f.audio, j, on ? 1 : 0);
        written = static_cast<ChannelSet>(written | (1u << j));
    }
    return written;
}

ChannelSet enterAudioView(ConfigRecord& record, const SetupContext& context, RecProfile page) {
    const ProfileFields f = fieldsOf(page);
    if (!f.audio)
        return 0;
    ChannelSet disabled = 0;
    for (unsigned j = 0; j < recChannelCount(context); ++j) {
        if (record.value(*f.rate, j) != 0)
            continue;
        record.setValue(*f.audio, j, 0);
        disabled = static_cast<ChannelSet>(disabled | (1u << j));
    }
    return disabled;
}

unsigned sensitivityPosition(unsigned stored) {
    return 3 - std::min(stored, 2u);
}

unsigned sensitivityFromPosition(unsigned position) {
    return 2 - std::min(position, 2u);
}

ChannelSet setSensitivity(ConfigRecord& record, const SetupContext& context, RecProfile page,
                          unsigned channel, unsigned position, ChannelSet checked) {
    const ProfileFields f = fieldsOf(page);
    if (!f.sensitivity)
        return 0;
    const ChannelSet changed = changedChannels(channel, checked, false, recChannelCount(context));
    for (unsigned j = 0; j < kRecChannels; ++j)
        if (inSet(changed, j))
            record.setValue(*f.sensitivity, j, sensitivityFromPosition(position));
    return changed;
}

ChannelSet setBlockF(ConfigRecord& record, const SetupContext& context, unsigned which,
                     unsigned channel, bool on, ChannelSet checked) {
    if (which != 1 && which != 2)
        return 0;
    const unsigned n = recChannelCount(context);
    const ChannelSet changed =
        changedChannels(channel, checked, groupedMode(record, context, RecProfile::F), n);
    const ConfigField& on1 = configField("block_f_on_1");
    const ConfigField& field = which == 1 ? on1 : configField("block_f_on_2");
    ChannelSet written = 0;
    for (unsigned j = 0; j < n; ++j) {
        if (!inSet(changed, j) || (which == 2 && record.value(on1, j) != 1))
            continue;
        record.setValue(field, j, on ? 1 : 0);
        written = static_cast<ChannelSet>(written | (1u << j));
    }
    return written;
}

ChannelSet enterBlockFSecondView(ConfigRecord& record, const SetupContext& context) {
    ChannelSet disabled = 0;
    for (unsigned j = 0; j < recChannelCount(context); ++j) {
        if (record.value(configField("block_f_on_1"), j) == 1)
            continue;
        record.setValue(configField("block_f_on_2"), j, 0);
        disabled = static_cast<ChannelSet>(disabled | (1u << j));
    }
    return disabled;
}

unsigned blockFDaysFromPosition(unsigned position) {
    return std::clamp(position / 5 * 5, 5u, 90u);
}

unsigned setBlockFDays(ConfigRecord& record, unsigned position) {
    const unsigned days = blockFDaysFromPosition(position);
    record.setValue(configField("block_f_days"), 0, days);
    return days;
}

bool changeVideoStandard(ConfigRecord& record, const SetupContext& context, std::uint8_t standard) {
    const bool wasPal = record.value(configField("video_standard")) != 0;
    if (!record.setValue(configField("video_standard"), 0, standard))
        return false;
    // Only a change of the line standard changes the budget; another PAL code does not.
    if (wasPal == (standard != 0))
        return true;
    const unsigned n = recChannelCount(context);
    for (unsigned row = 0; row < 6; ++row)
        writeResolutionRow(record, static_cast<RecProfile>(row), n, kRes4Cif);
    // On a recorder of another channel count (12, say) every profile's rates become 0 on
    // purpose, not the spread a resolution choice would leave: the rows just became 4CIF under
    // the other standard's budget, so the old rates may cost up to four times the new budget,
    // and there is no default spread for such a count to put in their place. Zero is the one
    // value that is within every budget; the operator sets the rates again on the profile pages
    // (whose zero-total guard applies to the sliders, not to this reset).
    std::array<unsigned, kRecChannels> rates{};
    if (n == 4 || n == 8 || n == 16)
        rates = defaultDistribution(recBudget(record), kRes4Cif, n);
    for (RecProfile p :
         {RecProfile::E, RecProfile::D, RecProfile::C, RecProfile::B, RecProfile::A}) {
        const ConfigField& rate = *fieldsOf(p).rate;
        for (unsigned ch = 0; ch < n; ++ch)
            record.setValue(rate, ch, rates[ch]);
    }
    record.setValue(
        configField("rec_rate"), 0,
        recordingRateFor(recBudget(record), record.value(configField("rec_resolution")), n));
    return true;
}

} // namespace kalder
