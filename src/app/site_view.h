#pragma once

#include "site/site_book.h"
#include "video/video_layout.h"

namespace kalder {

// A site's arrangement as the address book keeps it and as the video window's layout holds it.
// The address book names the layout by its cells on a page and lists the cells up to the last
// that shows anything; the layout names it by its index and holds every cell.
VideoLayout::Arrangement layoutArrangement(const SiteArrangement& stored);
SiteArrangement storedArrangement(const VideoLayout::Arrangement& shown);

} // namespace kalder
