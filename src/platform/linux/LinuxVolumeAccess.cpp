// SPDX-License-Identifier: MIT
#include "platform/VolumeAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStorageInfo>

namespace skerrin {
namespace {

// Reads /sys/class/block/<name>/removable, walking from a partition up to its disk.
std::optional<bool> blockDeviceRemovable(const QString& device) {
    if (!device.startsWith(QLatin1String("/dev/")))
        return std::nullopt;
    const QString name = QFileInfo(device).canonicalFilePath().section(QLatin1Char('/'), -1);
    if (name.isEmpty())
        return std::nullopt;
    QString sysPath = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    for (int depth = 0; depth < 2 && !sysPath.isEmpty(); ++depth) {
        QFile flag(sysPath + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly))
            return flag.readAll().trimmed() == "1";
        sysPath = QFileInfo(sysPath).absolutePath();
    }
    return std::nullopt;
}

QString volumeIdentity(const QString& path) {
    const QStorageInfo storage(path);
    return QString::fromUtf8(storage.device()) + QLatin1Char('|') + storage.rootPath();
}

// Linux has no sandbox: a bookmark is the path plus the identity of the volume it was on.
class LinuxVolumeAccess final : public VolumeAccess {
public:
    std::optional<VolumeProperties> volumeProperties(const QString& path) const override {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        const QStorageInfo storage(path);
        if (!storage.isValid())
            return std::nullopt;
        VolumeProperties properties;
        if (const auto removable = blockDeviceRemovable(QString::fromUtf8(storage.device()))) {
            properties.isInternal = !*removable;
            properties.isRemovable = *removable;
            properties.isEjectable = *removable;
        }
        return properties;
    }

    std::optional<QByteArray> createBookmark(const QString& path) const override {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        QJsonObject bookmark{{QStringLiteral("path"), path},
                             {QStringLiteral("volume"), volumeIdentity(path)}};
        return QJsonDocument(bookmark).toJson(QJsonDocument::Compact);
    }

    std::optional<ResolvedBookmark> resolveBookmark(const QByteArray& bookmark, bool) const override {
        const QJsonDocument document = QJsonDocument::fromJson(bookmark);
        const QJsonValue path = document.object().value(QStringLiteral("path"));
        const QJsonValue volume = document.object().value(QStringLiteral("volume"));
        if (!document.isObject() || !path.isString() || !volume.isString())
            return std::nullopt;
        if (!QFileInfo::exists(path.toString()))
            return std::nullopt;
        return ResolvedBookmark{path.toString(), volumeIdentity(path.toString()) != volume.toString()};
    }

    bool startAccessing(const QString& path) override { return QFileInfo::exists(path); }
    void stopAccessing(const QString&) override {}
};

} // namespace

std::unique_ptr<VolumeAccess> makeVolumeAccess() {
    return std::make_unique<LinuxVolumeAccess>();
}

} // namespace skerrin
