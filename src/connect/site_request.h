#pragma once

#include "connect/connect_request.h"

#include <string>
#include <vector>

namespace kalder {

// What the site window hands to the connect dialog's owner when the operator connects a site:
// the site's name and one request per recorder, in the site's order (recorder 0 first). Each
// request is what a single-recorder connect would hand over: the address already resolved to
// dotted IPv4 (empty when the name did not resolve, so that recorder's connect fails on its own
// while the others go ahead), the site's name as its site text. Plain data, no Qt.
struct SiteRequest {
    std::string name;
    std::vector<ConnectRequest> recorders;

    bool operator==(const SiteRequest&) const = default;
};

} // namespace kalder
