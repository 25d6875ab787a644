#pragma once

#include <QString>
#include <QStringList>

namespace kalder {

// Defaults from the optional customisation file "ClientD1.bin": up to four lines, each ended by a
// carriage return (line feeds are ignored), at most 259 characters. A missing file, line or empty
// line keeps the default.
struct ClientCustomisation {
    QString oemTitle = QStringLiteral("H264");
    QString oemFolderName = QStringLiteral("H264");
    QString oemDateFormat = QStringLiteral("YYYY-MM-DD");
    QString oemDrawMode = QStringLiteral("YUV");

    // DrawMode default: "RGB" gives 1 (RGB path), anything else 0.
    int defaultDrawMode() const;
    // DateFormat default: "MM-DD-YYYY" gives 1, "DD-MM-YYYY" gives 2, anything else 0.
    int defaultDateFormat() const;
};

// One path component that stays inside the folder it is joined to: not empty, not "." or "..",
// no '/'.
bool isPlainFolderName(const QString& name);

// Parses the file's contents. A folder-name line that is not a plain folder name keeps the
// default.
ClientCustomisation parseClientCustomisation(const QByteArray& contents);

// Reads the first "ClientD1.bin" found among `folders` (the working folder, then the system
// folder); defaults when none is readable.
ClientCustomisation loadClientCustomisation(const QStringList& folders);

} // namespace kalder
