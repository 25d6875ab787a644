#pragma once

#include "export/export_request.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

// The evidence manifest "export.json" beside the exported files: each file's name, size and
// SHA-256, the period, the channels and titles, the recorder's identity, the user, the client's
// version and when it was exported.
inline constexpr char kExportManifestName[] = "export.json";

// The SHA-256 of a file's bytes as lower-case hexadecimal; nothing when it cannot be read.
std::optional<std::string> fileSha256(const std::filesystem::path& file);

// Writes the manifest into the request's out folder (a temporary file renamed into place);
// false with `error` when it cannot be written whole. `exportedAt`: seconds since 1970 UTC.
bool writeExportManifest(const ExportRequest& request, const ExportResult& result,
                         std::int64_t exportedAt, std::string& error);

// One file of a manifest checked again.
struct ManifestCheck {
    std::string file;
    bool ok = false;
    std::string problem; // why not: "missing", "size differs", "hash differs", ...
};
struct ManifestVerification {
    bool readable = false; // the manifest itself was there and well formed
    std::string error;
    std::vector<ManifestCheck> files;
    bool allMatch() const;
};

// Recomputes every hash of `folder`'s manifest and compares it with the recorded one. A name
// that is not a plain file name in the folder never matches.
ManifestVerification verifyExportManifest(const std::filesystem::path& folder);

} // namespace kalder
