#include "resources/resource_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QResource>

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace kalder {

namespace {

using TextTable = std::unordered_map<int, QString>;

// Published once by loadResourceLibrary and never changed or freed afterwards, so readers on any
// thread use it without a lock. Null until a library is registered.
std::atomic<const TextTable*> g_texts{nullptr};
// Serialises loadResourceLibrary calls.
std::mutex g_loadMutex;

// The table of the system's language when the library holds one, else the English one.
QByteArray readTextTable() {
    const QString language = QLocale::system().name().section(QLatin1Char('_'), 0, 0);
    for (const QString& lang : {language, QStringLiteral("en")}) {
        QFile table(QStringLiteral(":/kalder/text/%1.tsv").arg(lang));
        if (!lang.isEmpty() && table.open(QIODevice::ReadOnly))
            return table.readAll();
    }
    return {};
}

// One entry a line: decimal id, a tab, the text. Lines starting with '#' and lines without a
// valid id are skipped; "\n" and "\t" inside a text stand for a line break and a tab.
TextTable parseTextTable(const QByteArray& bytes) {
    TextTable table;
    const QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        bool ok = false;
        const int id = line.left(tab).trimmed().toInt(&ok);
        if (!ok)
            continue;
        QString text = QString::fromUtf8(line.mid(tab + 1));
        text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        text.replace(QStringLiteral("\\t"), QStringLiteral("\t"));
        table.insert_or_assign(id, std::move(text));
    }
    return table;
}

// A cheap look at the binary resource header before Qt maps the file: the magic, a known
// format version and tree, data and names offsets inside the file. Qt trusts those offsets.
bool looksLikeResourceFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = f.size();
    const QByteArray head = f.read(20);
    if (head.size() < 20 || !head.startsWith("qres"))
        return false;
    auto be32 = [&head](int at) {
        return (quint32(quint8(head[at])) << 24) | (quint32(quint8(head[at + 1])) << 16) |
               (quint32(quint8(head[at + 2])) << 8) | quint32(quint8(head[at + 3]));
    };
    const quint32 version = be32(4);
    if (version < 1 || version > 3)
        return false;
    for (int at : {8, 12, 16})
        if (qint64(be32(at)) >= size)
            return false;
    return true;
}

} // namespace

bool loadResourceLibrary(const QString& programDir) {
    std::lock_guard lock(g_loadMutex);
    if (g_texts.load(std::memory_order_acquire))
        return true;
    const QString file = QDir(programDir).filePath(QStringLiteral("KalderRes.rcc"));
    if (!looksLikeResourceFile(file) || !QResource::registerResource(file))
        return false;
    // Kept until exit: readers on other threads hold no lock and no reference count.
    g_texts.store(new TextTable(parseTextTable(readTextTable())), std::memory_order_release);
    return true;
}

QString programFileFolder(const QString& fileName) {
    const QString programDir = QCoreApplication::applicationDirPath();
    const QDir beside(programDir);
    if (beside.exists(fileName))
        return programDir;
    // KALDER_FILES_FROM_PROGRAM_DIR: the installed files' folder relative to the programs' one.
    const QString installed =
        QDir::cleanPath(beside.filePath(QStringLiteral(KALDER_FILES_FROM_PROGRAM_DIR)));
    return QDir(installed).exists(fileName) ? installed : programDir;
}

QString resourceText(int id) {
    const TextTable* texts = g_texts.load(std::memory_order_acquire);
    if (!texts)
        return {};
    const auto it = texts->find(id);
    return it == texts->end() ? QString() : it->second;
}

QString resourceTextAfter(const QString& prefix, int id) {
    return prefix + QLatin1Char(' ') + resourceText(id);
}

QImage resourcePicture(int id) {
    if (!g_texts.load(std::memory_order_acquire))
        return {};
    return QImage(QStringLiteral(":/kalder/pictures/%1.png").arg(id));
}

} // namespace kalder
