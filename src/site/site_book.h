#pragma once

#include <QString>

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

// One recorder of a site as the operator typed it. No password: passwords are never stored, as
// with the single-recorder connect; they are asked for when the site is connected.
struct SiteRecorder {
    std::string address;       // as typed: dotted IPv4 or a host name, resolved when connecting
    std::uint32_t port = 2000; // kept wide, so that a hand-edited store's 70000 is refused, not cut
    std::string userId;

    bool operator==(const SiteRecorder&) const = default;
};

struct Site {
    std::string name;
    std::vector<SiteRecorder> recorders;

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
// and Recorder an array of Address, Port and UserId) and the last connected site's name under
// Sites/Last. The store holds what was saved; sites() what is loaded or changed since. A
// change is refused (nothing changes) unless the changed site meets checkSite; the list keeps
// the order sites were added in. GUI thread, or any one thread that owns the store.
class SiteBook {
public:
    explicit SiteBook(QSettings& store);

    // Reads the sites from the store, as they are: a hand-edited site that breaks the rules is
    // loaded too, and refused when it is connected or saved after an edit.
    void load();
    // Writes the sites to the store (replacing what it held under Sites/Site) and syncs it.
    // False when the store could not be written.
    bool save();

    const std::vector<Site>& sites() const { return m_sites; }
    // The index of the site named `name` (without regard to case).
    std::optional<std::size_t> find(const std::string& name) const;

    // Adds `site` (trimmed) at the end.
    SiteCheck add(Site site);
    // Replaces the site at `index` by `site` (trimmed): an edit, a rename or both. Its own old
    // name does not count as taken, so a change of case alone is a rename. An index past the
    // end adds.
    SiteCheck replace(std::size_t index, Site site);
    bool remove(std::size_t index);

    // The name of the site connected last, to be offered first; empty when none.
    std::string lastSite() const;
    void setLastSite(const std::string& name);

private:
    std::vector<std::string> namesExcept(std::optional<std::size_t> index) const;

    QSettings& m_store;
    std::vector<Site> m_sites;
};

} // namespace kalder
