#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QSettings;

namespace kalder {

// A site has at most this many recorders. Each recorder of a site is a session of its own (a
// connection with its receive thread, sixteen decoders of about 3.5 MB each once shown) and its
// state is shown beside the clock. Four recorders are 64 channels, the cells the video window's
// layout model holds (kMaxRecorders there): under two pages of the largest layout.
inline constexpr std::size_t kMaxSiteRecorders = 4;
// Channels of one recorder, and the cells of the largest site: one per channel.
inline constexpr int kSiteRecorderChannels = 16;
inline constexpr std::size_t kMaxSiteCells = kMaxSiteRecorders * kSiteRecorderChannels;
// The layouts a site's cells can be arranged in, named by their number of cells on a page, as
// the video window's layout buttons name them (the last two only beyond sixteen channels).
inline constexpr std::array<int, 11> kSiteLayoutPageCells = {1, 4, 6, 7, 8, 9, 10, 13, 16, 25, 36};

// One recorder of a site as the operator typed it. No password: passwords are never stored, as
// with the single-recorder connect; they are asked for when the site is connected.
struct SiteRecorder {
    std::string address;       // as typed: dotted IPv4 or a host name, resolved when connecting
    std::uint32_t port = 2000; // kept wide, so that a hand-edited store's 70000 is refused, not cut
    std::string userId;

    bool operator==(const SiteRecorder&) const = default;
};

// What one cell of a site's arrangement shows: channel 0-15 of the recorder with index
// `recorder` in the site's list; -1 for an empty cell.
struct SiteCell {
    int recorder = 0;
    int channel = -1;

    bool empty() const { return channel < 0; }
    bool operator==(const SiteCell&) const = default;
};

// The operator's arrangement of a site's cells, kept with the site so that connecting it again
// shows the cells as they were left: the layout (its cells on a page, one of
// kSiteLayoutPageCells), the page shown and each cell's source in cell order. Whether the
// layout is offered and the page exists depends on the recorders' channel counts, which are
// known only once connected: the video window falls back then.
struct SiteArrangement {
    int pageCells = 16;
    int page = 0;
    std::vector<SiteCell> cells; // at most kMaxSiteCells

    bool operator==(const SiteArrangement&) const = default;
};

// True when `arrangement` can belong to a site of `recorderCount` recorders: a known layout, a
// page from 0 to kMaxSiteCells - 1, at most kMaxSiteCells cells, each naming one of those
// recorders (and at most kMaxSiteRecorders) and channel 0-15 or -1, no source in two cells.
bool arrangementFits(const SiteArrangement& arrangement, std::size_t recorderCount);

struct Site {
    std::string name;
    std::vector<SiteRecorder> recorders;
    // None until the site is first arranged, and again after its recorders changed. The book
    // holds only an arrangement that fits the site's recorders (arrangementFits).
    std::optional<SiteArrangement> arrangement = std::nullopt;

    bool operator==(const Site&) const = default;
};

// Why a site cannot be kept or connected, and where: `recorder` is the index of the recorder
// at fault (-1 for the name and the count), `other` the earlier recorder a duplicate repeats.
struct SiteCheck {
    enum class Problem : std::uint8_t {
        None,
        NameEmpty,
        NameTooLong,
        NameTaken, // another site has this name, compared without regard to case
        NoRecorders,
        TooManyRecorders,
        AddressEmpty,
        AddressTooLong,
        AddressNotIpv4, // digits and dots that are not four numbers of 0-255
        PortOutOfRange,
        UserIdTooLong,
        RecorderTwice, // the same address (without regard to case) and port as `other`
    };
    Problem problem = Problem::None;
    int recorder = -1;
    int other = -1;

    bool ok() const { return problem == Problem::None; }
    bool operator==(const SiteCheck&) const = default;
};

// Site names are the same when they differ only in case ("North gate" and "NORTH GATE").
bool sameSiteName(const std::string& a, const std::string& b);

// The rules a site must meet. `taken` are the names of the other sites (the one being edited
// left out). Names and addresses are checked as given: siteTrimmed() first.
SiteCheck checkSite(const Site& site, const std::vector<std::string>& taken);

// `site` with the white space around its name, addresses and user ids removed, as it is kept.
Site siteTrimmed(Site site);

// The sites of the address book, kept in the settings store under Sites/Site (an array: Name,
// Recorder an array of Address, Port and UserId, and Arrangement with Layout, Page and Cell an
// array of Recorder and Channel) and the last connected site's name under Sites/Last. The store
// holds what was saved; sites() what is loaded or changed since. A change is refused (nothing
// changes) unless the changed site meets checkSite; the list keeps the order sites were added
// in. save() rewrites every site from sites(): another book over the same store that saved since
// this one loaded is overwritten, so load() before changing what is to be saved. GUI thread, or
// any one thread that owns the store.
class SiteBook {
public:
    explicit SiteBook(QSettings& store);

    // Reads the sites from the store, as they are: a hand-edited site that breaks the rules is
    // loaded too, and refused when it is connected or saved after an edit. Not so a stored
    // arrangement that does not fit its site's recorders: that site is loaded without one.
    void load();
    // Writes the sites to the store (replacing what it held under Sites/Site) and syncs it.
    // False when the store could not be written.
    bool save();

    const std::vector<Site>& sites() const { return m_sites; }
    // The index of the site named `name` (without regard to case).
    std::optional<std::size_t> find(const std::string& name) const;

    // Adds `site` (trimmed) at the end, without its arrangement if that does not fit.
    SiteCheck add(Site site);
    // Replaces the site at `index` by `site` (trimmed): an edit, a rename or both. Its own old
    // name does not count as taken, so a change of case alone is a rename. An index past the
    // end adds. While the recorders keep their addresses and ports in the same order, the site
    // keeps `site`'s arrangement if it has one that fits, else its own (the editor of names and
    // recorders passes none); other recorders drop it, since cells name recorders by index.
    SiteCheck replace(std::size_t index, Site site);
    bool remove(std::size_t index);
    // Sets (or with nullopt forgets) the arrangement of the site at `index`. False, and nothing
    // changes, for an index past the end or an arrangement that does not fit the site.
    bool setArrangement(std::size_t index, std::optional<SiteArrangement> arrangement);

    // The name of the site connected last, to be offered first; empty when none.
    std::string lastSite() const;
    void setLastSite(const std::string& name);

private:
    std::vector<std::string> namesExcept(std::optional<std::size_t> index) const;

    QSettings& m_store;
    std::vector<Site> m_sites;
};

} // namespace kalder
