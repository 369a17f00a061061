// SPDX-License-Identifier: MIT
#include "model/PrimaryAction.h"

#include "model/DesktopService.h"
#include "model/Installer.h"
#include "model/LanguageChoice.h"
#include "model/Pairing.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "platform/ComputerWords.h"

namespace skerrin {

QString PrimaryAction::primaryActionTitle() const {
    const LanguageChoice& l = m_parts.language;
    if (!m_parts.location.validRoot())
        return l.ui(QStringLiteral("Install Runtime"), QStringLiteral("安装 Runtime"));
    if (!m_parts.location.isPairingConfigured())
        return ComputerWords::pairThisComputer(l.language());
    return m_parts.service.isRunning() ? l.ui(QStringLiteral("Refresh Status"), QStringLiteral("刷新状态"))
                                       : l.ui(QStringLiteral("Keep Online"), QStringLiteral("恢复在线"));
}

QString PrimaryAction::primaryActionSubtitle() const {
    const LanguageChoice& l = m_parts.language;
    if (!m_parts.location.validRoot())
        return l.ui(QStringLiteral("Install the desktop runtime first."),
                    QStringLiteral("先安装桌面 Runtime。"));
    if (!m_parts.location.isPairingConfigured())
        return l.ui(
            QStringLiteral("Pair once, then the desktop service should keep running in the background."),
            QStringLiteral("先配对一次，之后桌面服务会在后台保持运行。"));
    return l.ui(QStringLiteral("The desktop app should keep the service alive in the background."),
                QStringLiteral("桌面 App 会在后台尽量保持服务在线。"));
}

// A pending code is paired again as well: the button's text does not look at it.
QCoro::Task<> PrimaryAction::performPrimaryAction() {
    // Whatever it does, it is the user's word: a back-off of keeping online ends (keep online and the
    // user's refresh say so themselves).
    if (!m_parts.location.validRoot()) {
        m_parts.service.noteUserAction(UserAction::refresh);
        co_await m_parts.installer.installStandardRuntime();
    } else if (!m_parts.location.isPairingConfigured() || m_parts.pairing.pairingSession()) {
        m_parts.service.noteUserAction(UserAction::refresh);
        co_await m_parts.pairing.startPairing();
    } else if (!m_parts.service.isRunning()) {
        co_await m_parts.service.ensureDesktopService();
    } else {
        co_await m_parts.refresher.refreshAtUserRequest();
    }
}

} // namespace skerrin
