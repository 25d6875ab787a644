#include "setup/model/link_page.h"

#include "setup/model/profile_page.h"

namespace kalder {

namespace {

bool isLink(const SetupContext& context, unsigned channel, unsigned link) {
    return channel < recChannelCount(context) && link < kLinksPerChannel;
}

std::size_t linkIndex(unsigned channel, unsigned link) {
    return kLinksPerChannel * channel + link;
}

} // namespace

bool linkPageOffered(RecordVersion version) {
    return version.above(4, 0);
}

std::array<Link, kLinksPerChannel> readLinks(const ConfigRecord& record, unsigned channel) {
    std::array<Link, kLinksPerChannel> links{};
    for (unsigned k = 0; k < kLinksPerChannel && channel < kRecChannels; ++k) {
        links[k].source = record.value(configField("link_source"), linkIndex(channel, k));
        links[k].flag = record.value(configField("link_flag"), linkIndex(channel, k));
        links[k].value = record.value(configField("link_value"), linkIndex(channel, k));
    }
    return links;
}

bool chooseLinkSource(ConfigRecord& record, const SetupContext& context, unsigned channel,
                      unsigned link, unsigned source) {
    if (!isLink(context, channel, link) || source > kLinkSources)
        return false;
    if (source != 0) {
        const auto links = readLinks(record, channel);
        for (unsigned k = 0; k < kLinksPerChannel; ++k)
            if (k != link && links[k].source == source)
                return false;
    }
    return record.setValue(configField("link_source"), linkIndex(channel, link), source);
}

bool setLinkFlag(ConfigRecord& record, const SetupContext& context, unsigned channel, unsigned link,
                 bool flag) {
    return isLink(context, channel, link) &&
           record.setValue(configField("link_flag"), linkIndex(channel, link), flag ? 1 : 0);
}

unsigned linkValueFromInput(unsigned long typed) {
    if (typed == 0 || typed > kLinkValueMax)
        return 1;
    return static_cast<unsigned>(typed);
}

bool setLinkValue(ConfigRecord& record, const SetupContext& context, unsigned channel,
                  unsigned link, unsigned long typed) {
    return isLink(context, channel, link) &&
           record.setValue(configField("link_value"), linkIndex(channel, link),
                           linkValueFromInput(typed));
}

std::string linkSourceLabel(unsigned source) {
    if (source == 0)
        return "None";
    return "Sensor " + std::to_string(source);
}

} // namespace kalder
