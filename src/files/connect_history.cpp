#include "files/connect_history.h"

#include "files/data_file.h"
#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>

namespace kalder {

namespace {

constexpr std::size_t kTextField = 260;

std::array<std::byte, kConnectEntrySize> encodeEntry(const ConnectEntry& e) {
    std::array<std::byte, kConnectEntrySize> bytes{};
    ByteWriter w(bytes);
    // The text fields keep a terminating zero: at most 259 characters.
    w.writeText(std::string_view(e.address).substr(0, kTextField - 1), kTextField);
    w.writeLe32(e.port);
    w.writeLe32(e.lastUsed);
    w.writeLe32(e.slot);
    w.writeText(std::string_view(e.siteText).substr(0, kTextField - 1), kTextField);
    return bytes;
}

// A text field's text, cut to the 259 characters a field can hold with its terminating zero.
std::string readTextField(ByteReader& r) {
    const std::span<const std::byte> field = r.readBytes(kTextField);
    return zeroPaddedText(field.first(std::min(field.size(), kTextField - 1)));
}

ConnectEntry decodeEntry(ByteReader& r) {
    // A damaged field without its terminating zero is cut where the writer cuts: a longer
    // address would never equal the one recorded for it, and the entry would be doubled.
    ConnectEntry e;
    e.address = readTextField(r);
    e.port = r.readLe32();
    e.lastUsed = r.readLe32();
    e.slot = r.readLe32();
    e.siteText = readTextField(r);
    return e;
}

std::uint64_t entryOffset(std::size_t index) {
    return kConnectHistoryHeaderSize + std::uint64_t(index) * kConnectEntrySize;
}

} // namespace

std::optional<ConnectHistory::Contents> ConnectHistory::read() const {
    std::optional<std::vector<std::byte>> read;
    std::span<const std::byte> bytes;
    if (m_memory) {
        bytes = m_memory->bytes;
        bytes = bytes.first(std::min(bytes.size(), kConnectHistoryFileSize));
    } else {
        read = readDataFile(m_file, kConnectHistoryFileSize);
        if (!read)
            return std::nullopt;
        bytes = *read;
    }

    Contents c;
    ByteReader header(bytes);
    c.wrapped = header.readLe32();
    c.nextIndex = header.readLe32();
    if (!header.ok())
        return c; // an empty or cut header: an empty history
    c.used.reserve(std::min(kConnectHistoryEntries, bytes.size() / kConnectEntrySize));
    for (std::size_t k = 0; k < kConnectHistoryEntries; ++k) {
        const std::uint64_t offset = entryOffset(k);
        if (offset + kConnectEntrySize > bytes.size())
            break; // a short file ends the list; nothing past its end is read
        ByteReader r(bytes.subspan(offset, kConnectEntrySize));
        ConnectEntry e = decodeEntry(r);
        if (e.address.empty())
            break;
        c.used.push_back(std::move(e));
    }
    return c;
}

std::vector<ConnectEntry> ConnectHistory::entries() const {
    auto c = read();
    return c ? std::move(c->used) : std::vector<ConnectEntry>{};
}

std::vector<ConnectEntry> ConnectHistory::newestFirst() const {
    auto list = entries();
    std::stable_sort(list.begin(), list.end(), [](const ConnectEntry& a, const ConnectEntry& b) {
        return a.lastUsed > b.lastUsed;
    });
    return list;
}

std::optional<ConnectEntry> ConnectHistory::find(std::string_view address,
                                                 std::uint32_t port) const {
    for (const ConnectEntry& e : entries()) {
        if (e.address == address && e.port == port)
            return e;
    }
    return std::nullopt;
}

bool ConnectHistory::writeAt(std::uint64_t offset, std::span<const std::byte> bytes) const {
    if (m_memory) {
        std::vector<std::byte>& all = m_memory->bytes;
        if (all.size() < offset + bytes.size())
            all.resize(offset + bytes.size());
        std::copy(bytes.begin(), bytes.end(), all.begin() + std::ptrdiff_t(offset));
        return true;
    }
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    int error = 0;
    std::optional<DataFile> f = DataFile::open(m_file, O_RDWR | O_CREAT, error);
    if (!f)
        return false;
    // A write that fails, or a close that reports a lost write, is a failed record.
    const bool written = f->writeAt(bytes, off_t(offset));
    return f->close() && written;
}

bool ConnectHistory::record(std::string_view address, std::uint32_t port, std::string_view siteText,
                            std::uint32_t now) {
    Contents c = read().value_or(Contents{});
    ConnectEntry entry{std::string(address.substr(0, kTextField - 1)), port, now, 0,
                       std::string(siteText.substr(0, kTextField - 1))};

    for (std::size_t k = 0; k < c.used.size(); ++k) {
        if (c.used[k].address == entry.address && c.used[k].port == port) {
            entry.slot = static_cast<std::uint32_t>(k);
            return writeAt(entryOffset(k), encodeEntry(entry));
        }
    }

    // Until the ring wraps, the next slot is the first empty one: the one behind the list. A
    // header whose next index says otherwise is damaged (a cut file keeps its old header): an
    // entry written there would lie behind an empty entry, out of the list, and be lost.
    const bool full = c.wrapped != 0 || c.used.size() >= kConnectHistoryEntries;
    if (!full) {
        const std::size_t k = c.used.size();
        entry.slot = static_cast<std::uint32_t>(k);
        if (!writeAt(entryOffset(k), encodeEntry(entry)))
            return false;
        std::array<std::byte, kConnectHistoryHeaderSize> header{};
        ByteWriter w(header);
        const bool nowWrapped = k + 1 >= kConnectHistoryEntries;
        w.writeLe32(nowWrapped ? 1 : 0);
        w.writeLe32(nowWrapped ? 0 : static_cast<std::uint32_t>(k + 1));
        return writeAt(0, header);
    }

    if (c.used.empty()) {
        entry.slot = 0;
        return writeAt(entryOffset(0), encodeEntry(entry));
    }
    // Replace the least recently used entry (the first of equally old ones).
    std::size_t oldest = 0;
    for (std::size_t k = 1; k < c.used.size(); ++k) {
        if (c.used[k].lastUsed < c.used[oldest].lastUsed)
            oldest = k;
    }
    entry.slot = static_cast<std::uint32_t>(oldest);
    return writeAt(entryOffset(oldest), encodeEntry(entry));
}

bool ConnectHistory::rewrite(const std::vector<ConnectEntry>& used) const {
    const std::size_t count = std::min(used.size(), kConnectHistoryEntries);
    const bool allUsed = count == kConnectHistoryEntries;
    std::vector<std::byte> bytes(entryOffset(allUsed ? count : count + 1));
    ByteWriter w(bytes);
    w.writeLe32(allUsed ? 1 : 0);
    w.writeLe32(allUsed ? 0 : static_cast<std::uint32_t>(count));
    for (std::size_t k = 0; k < count; ++k) {
        ConnectEntry e = used[k];
        e.slot = static_cast<std::uint32_t>(k);
        w.writeBytes(encodeEntry(e));
    }
    // The empty entry that ends the list is all zeros already. The whole file is replaced at once,
    // so a failure leaves the old history as it was.
    return replace(bytes);
}

bool ConnectHistory::replace(std::span<const std::byte> bytes) const {
    if (m_memory) {
        m_memory->bytes.assign(bytes.begin(), bytes.end());
        return true;
    }
    return replaceDataFile(m_file, bytes);
}

bool ConnectHistory::remove(std::size_t index) {
    auto c = read();
    if (!c || index >= c->used.size())
        return false;
    c->used.erase(c->used.begin() + static_cast<std::ptrdiff_t>(index));
    return rewrite(c->used);
}

bool ConnectHistory::setSiteText(std::size_t index, std::string_view siteText) {
    auto c = read();
    if (!c || index >= c->used.size())
        return false;
    c->used[index].siteText = std::string(siteText.substr(0, kTextField - 1));
    return rewrite(c->used);
}

} // namespace kalder
