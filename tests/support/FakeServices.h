// SPDX-License-Identifier: MIT
#pragma once

#include "net/QtHttpClient.h"
#include "platform/PlatformServices.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace skerrin::test {

// What a test chooses about the desktop session and the hardware; all else is real.
struct FakeDesktop {
    QStringList preferredLanguages{QStringLiteral("en-US")};
    QString shortVersion = QStringLiteral("1.2.0");
    QString buildNumber = QStringLiteral("45");
    QString removableRoot{}; // it and everything below it sit on a removable volume
    // What was put on the clipboard and which URLs were opened, in order.
    std::shared_ptr<QStringList> copied = std::make_shared<QStringList>();
    std::shared_ptr<QList<QUrl>> opened = std::make_shared<QList<QUrl>>();
};

class FakeAppInfo final : public AppInfo {
public:
    explicit FakeAppInfo(FakeDesktop desktop) : m(std::move(desktop)) {}
    QString shortVersion() const override { return m.shortVersion; }
    QString buildNumber() const override { return m.buildNumber; }
    QString bundlePath() const override { return QStringLiteral("/opt/skerrin/skerrin"); }
    QStringList preferredLanguages() const override { return m.preferredLanguages; }

private:
    FakeDesktop m;
};

// A bookmark is the path as JSON, resolvable while the path exists; {"stale":true} resolves as stale.
inline QByteArray fakeBookmark(const QString& path, bool stale = false) {
    return QJsonDocument(QJsonObject{{"path", path}, {"stale", stale}}).toJson(QJsonDocument::Compact);
}

class FakeVolumes final : public VolumeAccess {
public:
    explicit FakeVolumes(QString removableRoot) : m_removable(std::move(removableRoot)) {}
    std::optional<VolumeProperties> volumeProperties(const QString& path) const override {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        const bool removable = !m_removable.isEmpty() && (path + '/').startsWith(m_removable + '/');
        return VolumeProperties{!removable, removable, removable};
    }
    std::optional<QByteArray> createBookmark(const QString& path) const override {
        return QFileInfo::exists(path) ? std::optional(fakeBookmark(path)) : std::nullopt;
    }
    std::optional<ResolvedBookmark> resolveBookmark(const QByteArray& bookmark, bool) const override {
        const QJsonObject object = QJsonDocument::fromJson(bookmark).object();
        const QString path = object.value("path").toString();
        if (path.isEmpty() || !QFileInfo::exists(path))
            return std::nullopt;
        return ResolvedBookmark{path, object.value("stale").toBool()};
    }
    bool startAccessing(const QString& path) override { return QFileInfo::exists(path); }
    void stopAccessing(const QString&) override {}

private:
    QString m_removable;
};

// A notification service that shows nothing: what reaches a real one is the notifier's own test's
// and the end-to-end test's.
class QuietNotifier final : public DesktopNotifier {
public:
    bool isAvailable() const override { return true; }
    void notify(const DesktopNotification&) override {}
};

// The real settings store, autostart entry (under the temporary home), HTTP client and terminal
// launcher ($TERMINAL and PATH choose it), fakes for the rest.
inline PlatformServices makeTestServices(const FakeDesktop& desktop = {}) {
    PlatformServices services;
    services.settings = makeSettingsStore();
    services.loginItem = makeLoginItemService(QStringLiteral("/opt/skerrin/skerrin"));
    services.volumes = std::make_unique<FakeVolumes>(desktop.removableRoot);
    services.appInfo = std::make_unique<FakeAppInfo>(desktop);
    services.notifier = std::make_unique<QuietNotifier>();
    services.http = makeQtHttpClient(); // linked in, not loaded from beside the test
    services.openInTerminal = makeTerminalLauncher();
    services.copyToClipboard = [copied = desktop.copied](const QString& text) { copied->append(text); };
    services.openUrl = [opened = desktop.opened](const QUrl& url) { return opened->append(url), true; };
    return services;
}

} // namespace skerrin::test
