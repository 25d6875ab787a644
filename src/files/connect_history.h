#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {

inline constexpr std::size_t kConnectHistoryEntries = 100;
inline constexpr std::size_t kConnectEntrySize = 532;
inline constexpr std::size_t kConnectHistoryHeaderSize = 8;
inline constexpr std::size_t kConnectHistoryFileSize =
    kConnectHistoryHeaderSize + kConnectHistoryEntries * kConnectEntrySize;

// One remembered recorder of "ConnectInfo100.log" (532 bytes, little-endian numbers).
struct ConnectEntry {
    std::string address; // as typed, before name resolution; at most 259 bytes kept
    std::uint32_t port = 0;
    std::uint32_t lastUsed = 0; // seconds since 1970
    std::uint32_t slot = 0;     // index of the entry in the file
    std::string siteText;       // at most 259 bytes kept

    bool operator==(const ConnectEntry&) const = default;
};

// The history's bytes kept in memory instead of the file (tests and fuzzing): reads give
// `bytes` (at most the full file's size), a write past the end extends it with zeros.
struct ConnectHistoryMemory {
    std::vector<std::byte> bytes;
};

// The history of up to 100 recorders the operator connected to. The file is the only state: each
// operation reads it, changes it and writes it back. Every operation fails quietly (returns
// false or nothing) when the file cannot be read or written; connecting never depends on it.
class ConnectHistory {
public:
    explicit ConnectHistory(std::filesystem::path file) : m_file(std::move(file)) {}
    // The same operations on bytes in memory; `memory` must outlive the history.
    explicit ConnectHistory(ConnectHistoryMemory& memory) : m_memory(&memory) {}

    const std::filesystem::path& file() const { return m_file; }

    // The used entries in file order (up to the first empty address). A missing, short or
    // damaged file gives what can be read of it.
    std::vector<ConnectEntry> entries() const;
    // The used entries, most recently used first.
    std::vector<ConnectEntry> newestFirst() const;
    // The entry with exactly this address and port, if any.
    std::optional<ConnectEntry> find(std::string_view address, std::uint32_t port) const;

    // Records a connect at time `now`: refreshes an entry with the same address and port in
    // place, else fills the next free slot, else replaces the least recently used entry.
    bool record(std::string_view address, std::uint32_t port, std::string_view siteText,
                std::uint32_t now);
    // Removes the entry at file index `index`; the following entries move up.
    bool remove(std::size_t index);
    // Replaces the site text of the entry at file index `index`.
    bool setSiteText(std::size_t index, std::string_view siteText);

private:
    struct Contents {
        std::uint32_t wrapped = 0;
        std::uint32_t nextIndex = 0;
        std::vector<ConnectEntry> used;
    };
    std::optional<Contents> read() const;
    // Rewrites the file from `used`: the entries, then one empty entry when fewer than 100 are
    // used; the header names that empty slot as the next one, or is wrapped when all are used.
    bool rewrite(const std::vector<ConnectEntry>& used) const;
    bool writeAt(std::uint64_t offset, std::span<const std::byte> bytes) const;
    bool replace(std::span<const std::byte> bytes) const;

    std::filesystem::path m_file;
    ConnectHistoryMemory* m_memory = nullptr;
};

} // namespace kalder
