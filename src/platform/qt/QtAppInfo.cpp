// SPDX-License-Identifier: MIT
#include "platform/AppInfo.h"

#include <QCoreApplication>
#include <QLocale>

namespace skerrin {
namespace {

class QtAppInfo final : public AppInfo {
public:
    QString shortVersion() const override { return QStringLiteral(SKERRIN_VERSION); }
    QString buildNumber() const override { return QStringLiteral(SKERRIN_BUILD_NUMBER); }
    QString bundlePath() const override { return QCoreApplication::applicationFilePath(); }
    QStringList preferredLanguages() const override { return QLocale::system().uiLanguages(); }
};

} // namespace

std::unique_ptr<AppInfo> makeAppInfo() {
    return std::make_unique<QtAppInfo>();
}

} // namespace skerrin
