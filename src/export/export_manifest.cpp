#include "export/export_manifest.h"

#include "wire/recorder_time.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimeZone>

#include <cstdio>
#include <memory>
#include <vector>

#include <openssl/evp.h>

namespace kalder {

namespace {

QString manifestText(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonValue manifestTextOrNull(const std::string& text) {
    return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(manifestText(text));
}

QString manifestTime(std::uint32_t time) {
    return manifestText(formatRecorderTime(time));
}

} // namespace

std::optional<std::string> fileSha256(const std::filesystem::path& path) {
    // OpenSSL's digest uses the processor's SHA instructions: an hour of video hashes in a
    // fraction of the time it takes to write.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> digest(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    if (!file || !digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n > 0 && EVP_DigestUpdate(digest.get(), buffer.data(), n) != 1)
            return std::nullopt;
        if (n < buffer.size())
            break;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(digest.get(), value, &length) != 1)
        return std::nullopt;
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHexDigits[value[i] >> 4];
        hex += kHexDigits[value[i] & 15];
    }
    return hex;
}

bool writeExportManifest(const ExportRequest& request, const ExportResult& result,
                         std::int64_t exportedAt, std::string& error) {
    QJsonObject root;
    root["format"] = exportExtension(request.format);
    root["period"] =
        QJsonObject{{"from", manifestTime(request.from)}, {"to", manifestTime(request.to)}};
    QJsonArray channels, files, leftOut;
    for (const ExportedFile& f : result.files) {
        channels.append(QJsonObject{{"channel", int(f.channel)}, {"title", manifestText(f.title)}});
        files.append(QJsonObject{{"file", manifestText(f.name)},
                                 {"channel", int(f.channel)},
                                 {"size", qint64(f.size)},
                                 {"sha256", manifestText(f.sha256)},
                                 {"frames", qint64(f.frames)},
                                 {"first", manifestTime(f.first)},
                                 {"last", manifestTime(f.last)}});
    }
    for (const ExportGap& g : result.leftOut)
        leftOut.append(QJsonObject{
            {"channel", g.channel ? QJsonValue(int(g.channel)) : QJsonValue(QJsonValue::Null)},
            {"from", manifestTime(g.from)},
            {"to", manifestTime(g.to)},
            {"reason", manifestText(g.reason)}});
    root["channels"] = channels;
    root["files"] = files;
    root["left_out"] = leftOut;
    const ExportIdentity& id = request.identity;
    root["recorder"] = QJsonObject{{"product_number", manifestTextOrNull(id.productNumber)},
                                   {"product_version", manifestTextOrNull(id.productVersion)},
                                   {"protocol_version", manifestTextOrNull(id.protocolVersion)},
                                   {"sub_product", manifestTextOrNull(id.subProduct)},
                                   {"mac", manifestTextOrNull(id.mac)}};
    root["user"] = manifestTextOrNull(id.user);
    root["client_version"] = KALDER_CLIENT_VERSION;
    root["exported_at"] =
        QDateTime::fromSecsSinceEpoch(exportedAt, QTimeZone::utc()).toString(Qt::ISODate);

    const std::filesystem::path path = request.outFolder / kExportManifestName;
    QSaveFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::WriteOnly)) {
        error = "cannot create " + path.string() + ": " + file.errorString().toStdString();
        return false;
    }
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        error = "cannot write " + path.string() + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

bool ManifestVerification::allMatch() const {
    if (!readable)
        return false;
    for (const ManifestCheck& f : files)
        if (!f.ok)
            return false;
    return true;
}

ManifestVerification verifyExportManifest(const std::filesystem::path& folder) {
    ManifestVerification v;
    QFile file(QString::fromStdString((folder / kExportManifestName).string()));
    if (!file.open(QIODevice::ReadOnly)) {
        v.error = "no " + std::string(kExportManifestName) + " in " + folder.string();
        return v;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject() ||
        !doc.object()["files"].isArray()) {
        v.error = std::string(kExportManifestName) + " is not a manifest";
        return v;
    }
    v.readable = true;
    for (const QJsonValue& entry : doc.object()["files"].toArray()) {
        const QJsonObject o = entry.toObject();
        ManifestCheck check;
        check.file = o["file"].toString().toStdString();
        const std::filesystem::path name(check.file);
        if (check.file.empty() || name != name.filename() || check.file == "." ||
            check.file == "..") {
            check.problem = "not a file name of the folder";
        } else if (!std::filesystem::is_regular_file(folder / name)) {
            check.problem = "missing";
        } else {
            std::error_code ec;
            const auto size = std::filesystem::file_size(folder / name, ec);
            const std::optional<std::string> hash = fileSha256(folder / name);
            if (ec || !hash)
                check.problem = "cannot be read";
            else if (qint64(size) != o["size"].toInteger(-1))
                check.problem = "size differs";
            else if (*hash != o["sha256"].toString().toStdString())
                check.problem = "hash differs";
            else
                check.ok = true;
        }
        v.files.push_back(std::move(check));
    }
    return v;
}

} // namespace kalder
