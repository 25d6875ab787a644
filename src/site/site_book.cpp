#include "site/site_book.h"

#include "site/recorder_fields.h"
#include "net/name_lookup.h"
#include "net/name_resolver.h"

#include <QSettings>

#include <algorithm>
#include <utility>

namespace kalder {

namespace {

QString siteQString(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string siteTrimmedText(const std::string& text) {
    return siteQString(text).trimmed().toUtf8().toStdString();
}

QString siteGroupKey() {
    return QStringLiteral("Sites");
}

// The number under `key`, or nothing when the store holds none or text that is not one.
std::optional<int> siteStoredNumber(const QSettings& store, const QString& key) {
    if (!store.contains(key))
        return std::nullopt;
    bool isNumber = false;
    const int value = store.value(key).toInt(&isNumber);
    return isNumber ? std::optional<int>(value) : std::nullopt;
}

// The arrangement in the current site's Arrangement group. The store may have been edited by
// hand, or written for other recorders: what it holds is taken only when every number is one
// and the whole fits the site's `recorderCount` recorders (arrangementFits). Anything else is
// dropped, so that the site is loaded as never arranged rather than with cells that name a
// recorder it does not have, a channel twice or a layout the window has no shape for.
std::optional<SiteArrangement> loadSiteArrangement(QSettings& store, std::size_t recorderCount) {
    store.beginGroup(QStringLiteral("Arrangement"));
    std::optional<SiteArrangement> arrangement;
    const std::optional<int> layout = siteStoredNumber(store, QStringLiteral("Layout"));
    const std::optional<int> page = siteStoredNumber(store, QStringLiteral("Page"));
    if (layout && page) {
        SiteArrangement stored{*layout, *page, {}};
        const int cells = store.beginReadArray(QStringLiteral("Cell"));
        // The count is checked before anything is read for it.
        bool readable = cells >= 0 && std::size_t(cells) <= kMaxSiteCells;
        for (int k = 0; readable && k < cells; ++k) {
            store.setArrayIndex(k);
            const std::optional<int> recorder = siteStoredNumber(store, QStringLiteral("Recorder"));
            const std::optional<int> channel = siteStoredNumber(store, QStringLiteral("Channel"));
            readable = recorder && channel;
            if (readable)
                stored.cells.push_back({*recorder, *channel});
        }
        store.endArray();
        if (readable && arrangementFits(stored, recorderCount))
            arrangement = std::move(stored);
    }
    store.endGroup();
    return arrangement;
}

void saveSiteArrangement(QSettings& store, const SiteArrangement& arrangement) {
    store.beginGroup(QStringLiteral("Arrangement"));
    store.setValue(QStringLiteral("Layout"), arrangement.pageCells);
    store.setValue(QStringLiteral("Page"), arrangement.page);
    store.beginWriteArray(QStringLiteral("Cell"), int(arrangement.cells.size()));
    for (std::size_t k = 0; k < arrangement.cells.size(); ++k) {
        store.setArrayIndex(int(k));
        store.setValue(QStringLiteral("Recorder"), arrangement.cells[k].recorder);
        store.setValue(QStringLiteral("Channel"), arrangement.cells[k].channel);
    }
    store.endArray();
    store.endGroup();
}

// The same recorders in the same order, as the cells of an arrangement name them: address
// (compared as checkSite compares names) and port. A new user id logs in to the same recorder.
bool sameSiteRecorderList(const std::vector<SiteRecorder>& a, const std::vector<SiteRecorder>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const SiteRecorder& x, const SiteRecorder& y) {
                          return x.port == y.port && sameSiteName(siteTrimmedText(x.address),
                                                                  siteTrimmedText(y.address));
                      });
}

} // namespace

bool arrangementFits(const SiteArrangement& arrangement, std::size_t recorderCount) {
    if (std::find(kSiteLayoutPageCells.begin(), kSiteLayoutPageCells.end(),
                  arrangement.pageCells) == kSiteLayoutPageCells.end())
        return false;
    // The most pages any layout has: the single view over the largest site's cells.
    if (arrangement.page < 0 || std::size_t(arrangement.page) >= kMaxSiteCells)
        return false;
    if (arrangement.cells.size() > kMaxSiteCells)
        return false;
    const std::size_t recorders = std::min(recorderCount, kMaxSiteRecorders);
    std::array<std::uint16_t, kMaxSiteRecorders> shown{}; // bit n: channel n has a cell
    for (const SiteCell& cell : arrangement.cells) {
        if (cell.recorder < 0 || std::size_t(cell.recorder) >= recorders)
            return false;
        if (cell.channel < -1 || cell.channel >= kSiteRecorderChannels)
            return false;
        if (cell.empty())
            continue;
        const auto bit = std::uint16_t(1u << cell.channel);
        std::uint16_t& mask = shown[std::size_t(cell.recorder)];
        if ((mask & bit) != 0)
            return false;
        mask |= bit;
    }
    return true;
}

bool sameSiteName(const std::string& a, const std::string& b) {
    return siteQString(a).compare(siteQString(b), Qt::CaseInsensitive) == 0;
}

Site siteTrimmed(Site site) {
    site.name = siteTrimmedText(site.name);
    for (SiteRecorder& r : site.recorders) {
        r.address = siteTrimmedText(r.address);
        r.userId = siteTrimmedText(r.userId);
    }
    return site;
}

SiteCheck checkSite(const Site& site, const std::vector<std::string>& taken) {
    using Problem = SiteCheck::Problem;
    if (site.name.empty())
        return {Problem::NameEmpty};
    // The name becomes each recorder's site text, a 259-byte field.
    if (site.name.size() > std::size_t(kConnectTextLength))
        return {Problem::NameTooLong};
    for (const std::string& other : taken) {
        if (sameSiteName(site.name, other))
            return {Problem::NameTaken};
    }
    if (site.recorders.empty())
        return {Problem::NoRecorders};
    if (site.recorders.size() > kMaxSiteRecorders)
        return {Problem::TooManyRecorders};
    for (std::size_t k = 0; k < site.recorders.size(); ++k) {
        const SiteRecorder& r = site.recorders[k];
        const int at = int(k);
        if (r.address.empty())
            return {Problem::AddressEmpty, at};
        if (r.address.size() > std::size_t(kConnectTextLength))
            return {Problem::AddressTooLong, at};
        // Digits and dots never go to the name server: they must be an address already.
        if (!isHostName(r.address) && resolveRecorderAddress(r.address).empty())
            return {Problem::AddressNotIpv4, at};
        if (r.port < 1 || r.port > kHighestRecorderPort)
            return {Problem::PortOutOfRange, at};
        if (!fitsSessionField(r.userId))
            return {Problem::UserIdTooLong, at};
        for (std::size_t j = 0; j < k; ++j) {
            const SiteRecorder& earlier = site.recorders[j];
            // Host names are not case-sensitive; dotted text is compared as the session will
            // see it, so 10.0.0.01 repeats 10.0.0.1.
            const bool sameAddress =
                sameSiteName(earlier.address, r.address) ||
                (!isHostName(r.address) && !isHostName(earlier.address) &&
                 resolveRecorderAddress(earlier.address) == resolveRecorderAddress(r.address));
            if (sameAddress && earlier.port == r.port)
                return {Problem::RecorderTwice, at, int(j)};
        }
    }
    return {};
}

SiteBook::SiteBook(QSettings& store) : m_store(store) {}

void SiteBook::load() {
    m_sites.clear();
    m_store.beginGroup(siteGroupKey());
    const int count = m_store.beginReadArray(QStringLiteral("Site"));
    for (int i = 0; i < count; ++i) {
        m_store.setArrayIndex(i);
        Site site;
        site.name = m_store.value(QStringLiteral("Name")).toString().toUtf8().toStdString();
        const int recorders = m_store.beginReadArray(QStringLiteral("Recorder"));
        for (int k = 0; k < recorders; ++k) {
            m_store.setArrayIndex(k);
            SiteRecorder r;
            r.address = m_store.value(QStringLiteral("Address")).toString().toUtf8().toStdString();
            bool isNumber = false;
            const uint port = m_store.value(QStringLiteral("Port")).toUInt(&isNumber);
            r.port = isNumber ? port : 0; // not a number: refused as out of range
            r.userId = m_store.value(QStringLiteral("UserId")).toString().toUtf8().toStdString();
            site.recorders.push_back(std::move(r));
        }
        m_store.endArray();
        site.arrangement = loadSiteArrangement(m_store, site.recorders.size());
        m_sites.push_back(std::move(site));
    }
    m_store.endArray();
    m_store.endGroup();
}

bool SiteBook::save() {
    m_store.beginGroup(siteGroupKey());
    // A shorter list must not leave the old tail behind.
    m_store.remove(QStringLiteral("Site"));
    m_store.beginWriteArray(QStringLiteral("Site"), int(m_sites.size()));
    for (std::size_t i = 0; i < m_sites.size(); ++i) {
        const Site& site = m_sites[i];
        m_store.setArrayIndex(int(i));
        m_store.setValue(QStringLiteral("Name"), siteQString(site.name));
        m_store.beginWriteArray(QStringLiteral("Recorder"), int(site.recorders.size()));
        for (std::size_t k = 0; k < site.recorders.size(); ++k) {
            const SiteRecorder& r = site.recorders[k];
            m_store.setArrayIndex(int(k));
            m_store.setValue(QStringLiteral("Address"), siteQString(r.address));
            m_store.setValue(QStringLiteral("Port"), uint(r.port));
            m_store.setValue(QStringLiteral("UserId"), siteQString(r.userId));
        }
        m_store.endArray();
        if (site.arrangement)
            saveSiteArrangement(m_store, *site.arrangement);
    }
    m_store.endArray();
    m_store.endGroup();
    m_store.sync();
    return m_store.status() == QSettings::NoError;
}

std::optional<std::size_t> SiteBook::find(const std::string& name) const {
    for (std::size_t i = 0; i < m_sites.size(); ++i) {
        if (sameSiteName(m_sites[i].name, name))
            return i;
    }
    return std::nullopt;
}

std::vector<std::string> SiteBook::namesExcept(std::optional<std::size_t> index) const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < m_sites.size(); ++i) {
        if (!index || i != *index)
            names.push_back(m_sites[i].name);
    }
    return names;
}

SiteCheck SiteBook::add(Site site) {
    site = siteTrimmed(std::move(site));
    const SiteCheck check = checkSite(site, namesExcept(std::nullopt));
    if (check.ok()) {
        if (site.arrangement && !arrangementFits(*site.arrangement, site.recorders.size()))
            site.arrangement.reset();
        m_sites.push_back(std::move(site));
    }
    return check;
}

SiteCheck SiteBook::replace(std::size_t index, Site site) {
    if (index >= m_sites.size())
        return add(std::move(site));
    site = siteTrimmed(std::move(site));
    const SiteCheck check = checkSite(site, namesExcept(index));
    if (check.ok()) {
        const Site& old = m_sites[index];
        if (!sameSiteRecorderList(old.recorders, site.recorders))
            site.arrangement.reset();
        else if (!site.arrangement || !arrangementFits(*site.arrangement, site.recorders.size()))
            site.arrangement = old.arrangement;
        // The last connected site follows its rename.
        if (sameSiteName(lastSite(), m_sites[index].name))
            setLastSite(site.name);
        m_sites[index] = std::move(site);
    }
    return check;
}

bool SiteBook::remove(std::size_t index) {
    if (index >= m_sites.size())
        return false;
    m_sites.erase(m_sites.begin() + std::ptrdiff_t(index));
    return true;
}

bool SiteBook::setArrangement(std::size_t index, std::optional<SiteArrangement> arrangement) {
    if (index >= m_sites.size())
        return false;
    Site& site = m_sites[index];
    if (arrangement && !arrangementFits(*arrangement, site.recorders.size()))
        return false;
    site.arrangement = std::move(arrangement);
    return true;
}

std::string SiteBook::lastSite() const {
    return m_store.value(siteGroupKey() + QStringLiteral("/Last"))
        .toString()
        .toUtf8()
        .toStdString();
}

void SiteBook::setLastSite(const std::string& name) {
    m_store.setValue(siteGroupKey() + QStringLiteral("/Last"), siteQString(name));
}

} // namespace kalder
