#pragma once

#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <string>

namespace kalder {

// The link page of profile B (record versions above 4.0): four links per channel, each a source
// (0 none, else a source number), a flag (0/1) and a value 1 .. 999.
inline constexpr unsigned kLinksPerChannel = 4;
inline constexpr unsigned kLinkSources = 16;
inline constexpr unsigned kLinkValueMax = 999;

bool linkPageOffered(RecordVersion version);

struct Link {
    unsigned source = 0;
    unsigned flag = 0;
    unsigned value = 0;
};

std::array<Link, kLinksPerChannel> readLinks(const ConfigRecord& record, unsigned channel);

// A source from the list (0 .. kLinkSources). A channel never uses one nonzero source twice:
// choosing a source another of its links holds changes nothing (false).
bool chooseLinkSource(ConfigRecord& record, const SetupContext& context, unsigned channel,
                      unsigned link, unsigned source);
bool setLinkFlag(ConfigRecord& record, const SetupContext& context, unsigned channel, unsigned link,
                 bool flag);
// What a typed value stores: 0 and anything from 1000 on become 1.
unsigned linkValueFromInput(unsigned long typed);
bool setLinkValue(ConfigRecord& record, const SetupContext& context, unsigned channel,
                  unsigned link, unsigned long typed);

// "%s %d": the source's label and number; "None" for 0.
std::string linkSourceLabel(unsigned source);

} // namespace kalder
