// SPDX-License-Identifier: MIT
#include "support/FakeServices.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace skerrin::test {
namespace {

class FakeAppInfo final : public AppInfo {
public:
    explicit FakeAppInfo(FakeDesktop desktop) : m_desktop(std::move(desktop)) {}
    QString shortVersion() const override { return m_desktop.shortVersion; }
    QString buildNumber() const override { return m_desktop.buildNumber; }
    QString bundlePath() const override { return QStringLiteral("/opt/skerrin/skerrin"); }
    QStringList preferredLanguages() const override { return m_desktop.preferredLanguages; }

private:
    FakeDesktop m_desktop;
};

// Removable where the test says so; a bookmark resolves while its path exists.
class FakeVolumes final : public VolumeAccess {
public:
    explicit FakeVolumes(QStringList removable) : m_removable(std::move(removable)) {}

    std::optional<VolumeProperties> volumeProperties(const QString& path) const override {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        for (const QString& root : m_removable) {
            if (path == root || path.startsWith(root + QLatin1Char('/')))
                return VolumeProperties{false, true, true};
        }
        return VolumeProperties{true, false, false};
    }
    std::optional<QByteArray> createBookmark(const QString& path) const override {
        return QFileInfo::exists(path) ? std::optional(fakeBookmark(path)) : std::nullopt;
    }
    std::optional<ResolvedBookmark> resolveBookmark(const QByteArray& bookmark, bool) const override {
        const QJsonObject object = QJsonDocument::fromJson(bookmark).object();
        const QString path = object.value(QStringLiteral("path")).toString();
        if (path.isEmpty() || !QFileInfo::exists(path))
            return std::nullopt;
        return ResolvedBookmark{path, object.value(QStringLiteral("stale")).toBool()};
    }
    bool startAccessing(const QString& path) override { return QFileInfo::exists(path); }
    void stopAccessing(const QString&) override {}

private:
    QStringList m_removable;
};

} // namespace

QByteArray fakeBookmark(const QString& path, bool stale) {
    QJsonObject object{{QStringLiteral("path"), path}};
    if (stale)
        object.insert(QStringLiteral("stale"), true);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

PlatformServices makeTestServices(const FakeDesktop& desktop) {
    PlatformServices services;
    services.settings = makeSettingsStore();
    services.loginItem = makeLoginItemService(QStringLiteral("/opt/skerrin/skerrin"));
    services.volumes = std::make_unique<FakeVolumes>(desktop.removableRoots);
    services.appInfo = std::make_unique<FakeAppInfo>(desktop);
    return services;
}

} // namespace skerrin::test
