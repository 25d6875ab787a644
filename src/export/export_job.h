#pragma once

#include "export/export_request.h"
#include "local/backup_set_file.h"

#include <atomic>
#include <functional>

namespace kalder {

// Exports a period of downloaded backup sets: one file per channel that has a key frame in the
// period, each written under a temporary name in the out folder and renamed only when every
// file is whole, then the manifest. A stop or a failure removes what was begun. Runs entirely on
// the calling thread (the export worker, or the command line); `stop` may be set by any thread
// and is read once per frame, `progress` is called on the calling thread every few hundred
// frames.
ExportResult runExport(const ExportRequest& request, const std::atomic<bool>& stop,
                       const std::function<void(const ExportProgress&)>& progress,
                       const BackupSetSource& source = BackupSetSource::fileSystem());

} // namespace kalder
