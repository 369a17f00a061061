// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/DisplayTexts.h"

#include <QLocale>

namespace skerrin {

QString ConnectorMenuBarModel::statusIcon() const {
    if (m_isBusy)
        return StatusIcon::busy;
    return m_isRunning ? StatusIcon::running : StatusIcon::stopped;
}

QString ConnectorMenuBarModel::latestActionSummary() const {
    return lastLinesSummary(m_latestActionOutput);
}

QString ConnectorMenuBarModel::pairingExpiresText() const {
    if (!m_pairingSession || !m_pairingSession->expiresAt)
        return ui(QStringLiteral("Expires soon"), QStringLiteral("即将过期"));
    const QString phrase = relativeTimePhrase(*m_pairingSession->expiresAt, QDateTime::currentDateTimeUtc(),
                                              QLocale::system().name());
    return expiresText(m_language, phrase);
}

QString ConnectorMenuBarModel::appVersionText() const {
    const QString text = versionAndBuild(appInfo().shortVersion(), appInfo().buildNumber());
    return text.isEmpty() ? ui(QStringLiteral("Version unavailable"), QStringLiteral("版本未知")) : text;
}

QString ConnectorMenuBarModel::runtimeInstallButtonTitle() const {
    return validRuntimeRoot(m_runtimeRoot)
               ? ui(QStringLiteral("Use Standard Runtime"), QStringLiteral("使用标准 Runtime"))
               : ui(QStringLiteral("Install Runtime"), QStringLiteral("安装 Runtime"));
}

QString ConnectorMenuBarModel::primaryActionTitle() const {
    if (!validRuntimeRoot(m_runtimeRoot))
        return ui(QStringLiteral("Install Runtime"), QStringLiteral("安装 Runtime"));
    if (!isPairingConfigured())
        return ui(QStringLiteral("Pair This Mac"), QStringLiteral("配对这台 Mac"));
    return m_isRunning ? ui(QStringLiteral("Refresh Status"), QStringLiteral("刷新状态"))
                       : ui(QStringLiteral("Keep Online"), QStringLiteral("恢复在线"));
}

QString ConnectorMenuBarModel::primaryActionSubtitle() const {
    if (!validRuntimeRoot(m_runtimeRoot))
        return ui(QStringLiteral("Install the desktop runtime first."),
                  QStringLiteral("先安装桌面 Runtime。"));
    if (!isPairingConfigured())
        return ui(
            QStringLiteral("Pair once, then the desktop service should keep running in the background."),
            QStringLiteral("先配对一次，之后桌面服务会在后台保持运行。"));
    return ui(QStringLiteral("The desktop app should keep the service alive in the background."),
              QStringLiteral("桌面 App 会在后台尽量保持服务在线。"));
}

} // namespace skerrin
