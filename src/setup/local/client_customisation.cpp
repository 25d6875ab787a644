#include "setup/local/client_customisation.h"

#include <QFile>

namespace kalder {

int ClientCustomisation::defaultDrawMode() const {
    return oemDrawMode == QLatin1String("RGB") ? 1 : 0;
}

int ClientCustomisation::defaultDateFormat() const {
    if (oemDateFormat == QLatin1String("MM-DD-YYYY"))
        return 1;
    if (oemDateFormat == QLatin1String("DD-MM-YYYY"))
        return 2;
    return 0;
}

bool isPlainFolderName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

ClientCustomisation parseClientCustomisation(const QByteArray& contents) {
    constexpr int kMaxLine = 259;
    ClientCustomisation c;
    QString* fields[] = {&c.oemTitle, &c.oemFolderName, &c.oemDateFormat, &c.oemDrawMode};
    QByteArray text = contents;
    text.replace('\n', QByteArray());
    const QList<QByteArray> lines = text.split('\r');
    for (int i = 0; i < 4 && i < lines.size(); ++i) {
        const QByteArray line = lines[i].left(kMaxLine);
        if (!line.isEmpty())
            *fields[i] = QString::fromLatin1(line);
    }
    // The data folder is $HOME/<name>: a planted file must not move it out of the home folder,
    // so the name is one plain path component, or the default stays.
    if (!isPlainFolderName(c.oemFolderName))
        c.oemFolderName = ClientCustomisation().oemFolderName;
    return c;
}

ClientCustomisation loadClientCustomisation(const QStringList& folders) {
    for (const QString& folder : folders) {
        QFile file(folder + QStringLiteral("/ClientD1.bin"));
        if (file.open(QIODevice::ReadOnly))
            return parseClientCustomisation(file.read(4 * 1024));
    }
    return {};
}

} // namespace kalder
