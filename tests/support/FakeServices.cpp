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

class FakeLoginItem final : public LoginItemService {
public:
    explicit FakeLoginItem(LoginItemStatus status) : m_status(status) {}
    LoginItemStatus status() const override { return m_status; }
    std::optional<Error> registerItem() override {
        m_status = LoginItemStatus::enabled;
        return std::nullopt;
    }
    std::optional<Error> unregisterItem() override {
        m_status = LoginItemStatus::notRegistered;
        return std::nullopt;
    }

private:
    LoginItemStatus m_status;
};

// Removable where the test says so; bookmarks are plain paths, resolvable while the path exists.
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
        if (!QFileInfo::exists(path))
            return std::nullopt;
        return QJsonDocument(QJsonObject{{QStringLiteral("path"), path}}).toJson(QJsonDocument::Compact);
    }
    std::optional<ResolvedBookmark> resolveBookmark(const QByteArray& bookmark, bool) const override {
        const QString path =
            QJsonDocument::fromJson(bookmark).object().value(QStringLiteral("path")).toString();
        if (path.isEmpty() || !QFileInfo::exists(path))
            return std::nullopt;
        return ResolvedBookmark{path, false};
    }
    bool startAccessing(const QString& path) override { return QFileInfo::exists(path); }
    void stopAccessing(const QString&) override {}

private:
    QStringList m_removable;
};

} // namespace

PlatformServices makeTestServices(const FakeDesktop& desktop) {
    PlatformServices services;
    services.settings = makeSettingsStore();
    services.loginItem = std::make_unique<FakeLoginItem>(desktop.loginStatus);
    services.volumes = std::make_unique<FakeVolumes>(desktop.removableRoots);
    services.appInfo = std::make_unique<FakeAppInfo>(desktop);
    const std::optional<QString> chosen = desktop.chosenFolder;
    services.chooseFolder = [chosen](const QString&, const QString&) { return chosen; };
    return services;
}

} // namespace skerrin::test
