#pragma once

#include <QImage>
#include <QString>

namespace kalder {

// The resource library: operator-facing texts and skin pictures addressed by numeric id, kept in
// KalderRes.rcc beside the program. Every function may be called from any thread; the text table
// is read once at load and never changes afterwards.

// Registers KalderRes.rcc from `programDir` (the folder of the running program). False when
// missing; never fatal. Once a library is registered, later calls return true and change nothing.
bool loadResourceLibrary(const QString& programDir);

// The folder that holds the program's file `fileName` (KalderRes.rcc, a default bitmap): the
// running program's own folder when the file is there, else the folder an installed copy keeps
// such files in (lib/kalder beside the program's bin folder) when it is there, else the program's
// own folder. Needs the application object.
QString programFileFolder(const QString& fileName);

// Empty when the library or the id is missing.
QString resourceText(int id);

// `prefix`, one blank, then the text with that id (a channel name followed by a label).
QString resourceTextAfter(const QString& prefix, int id);

// Null QImage when the library or the picture is missing.
QImage resourcePicture(int id);

} // namespace kalder
