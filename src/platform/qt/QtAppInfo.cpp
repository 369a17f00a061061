// SPDX-License-Identifier: MIT
#include "platform/AppInfo.h"

#include <QLocale>

namespace skerrin {
namespace {

class QtAppInfo final : public AppInfo {
public:
    explicit QtAppInfo(QString bundlePath) : m_bundlePath(std::move(bundlePath)) {}
    QString shortVersion() const override { return QStringLiteral(SKERRIN_VERSION); }
    QString buildNumber() const override { return QStringLiteral(SKERRIN_BUILD_NUMBER); }
    QString bundlePath() const override { return m_bundlePath; }
    QStringList preferredLanguages() const override { return QLocale::system().uiLanguages(); }

private:
    QString m_bundlePath;
};

} // namespace

std::unique_ptr<AppInfo> makeAppInfo(const QString& bundlePath) {
    return std::make_unique<QtAppInfo>(bundlePath);
}

} // namespace skerrin
