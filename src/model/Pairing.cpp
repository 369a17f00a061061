// SPDX-License-Identifier: MIT
#include "model/Pairing.h"

#include "model/DisplayTexts.h"
#include "model/LanguageChoice.h"
#include "model/RuntimeActions.h"
#include "model/RuntimeLocation.h"
#include "pairing/PlatformStatusClient.h"
#include "runtime/EnvFile.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeRoots.h"
#include "runtime/RuntimeScripts.h"

#include <QLocale>

namespace skerrin {

Pairing::Pairing(ActionRunner& actions, RuntimeLocation& location, const LanguageChoice& language,
                 HttpClient& network, QObject* parent)
    : Published(parent), m_actions(actions), m_location(location), m_language(language), m_network(network) {
    connect(&language, &LanguageChoice::switched, this, &Pairing::refreshPairingSession);
}

QString Pairing::pairingExpiresText() const {
    if (!m_pairingSession || !m_pairingSession->expiresAt)
        return m_language.ui(QStringLiteral("Expires soon"), QStringLiteral("即将过期"));
    const QString phrase = relativeTimePhrase(*m_pairingSession->expiresAt, QDateTime::currentDateTimeUtc(),
                                              QLocale::system().name());
    return expiresText(m_language.language(), phrase);
}

// The pairing script's step with the platform address and env file of the root it is given.
QCoro::Task<ActionOutcome> Pairing::runPairingStep(bool start) {
    const LanguageChoice& l = m_language;
    Action action = agentAction(
        m_location,
        start ? l.ui(QStringLiteral("Pairing QR generated."), QStringLiteral("配对二维码已生成。"))
              : l.ui(QStringLiteral("Pairing confirmed."), QStringLiteral("配对已确认。")),
        start ? l.ui(QStringLiteral("Pairing start finished."), QStringLiteral("配对已开始。"))
              : l.ui(QStringLiteral("Pairing wait finished."), QStringLiteral("配对等待已完成。")),
        start ? l.ui(QStringLiteral("Starting desktop pairing..."), QStringLiteral("正在开始桌面配对..."))
              : l.ui(QStringLiteral("Waiting for mobile confirmation..."),
                     QStringLiteral("正在等待手机确认...")),
        [start](QString root, CancelHandle cancel) {
            const QStringList arguments =
                RuntimeArguments::pairing(start, platformBaseURL(root), envFilePath(root));
            return runNodeScript(root, RuntimeLayout::pairingScript, arguments, std::move(cancel));
        },
        RuntimeLayout::pairingScript);
    QCoro::Task<ActionOutcome> running = m_actions.run(std::move(action));
    co_return co_await std::move(running);
}

QCoro::Task<> Pairing::startPairing() {
    QCoro::Task<ActionOutcome> step = runPairingStep(true);
    co_await std::move(step);
    refreshPairingSession();
}

QCoro::Task<> Pairing::waitForPairingConfirmation() {
    QCoro::Task<ActionOutcome> step = runPairingStep(false);
    const ActionOutcome outcome = co_await std::move(step);
    if (outcome.ok())
        emit confirmed();
}

void Pairing::refreshPairingSession() {
    publish(m_pairingSession,
            readPairingSession(m_location.effectiveRoot(), QDateTime::currentDateTimeUtc()));
}

QCoro::Task<> Pairing::refreshDesktopRuntimeStatus(bool force) {
    const std::optional<QString>& valid = m_location.validRoot();
    if (!valid && !force)
        co_return;
    const QString root = valid.value_or(standardRuntimeRoot());
    const QString base = platformBaseURL(root);
    std::optional<DesktopRuntimeStatusResponse> response;
    {
        // The token lives only for the request.
        const QString token = relayToken(root);
        if (!token.isEmpty() && !base.isEmpty()) {
            QCoro::Task<std::optional<DesktopRuntimeStatusResponse>> fetch =
                fetchDesktopRuntimeStatus(&m_network, base, token);
            response = co_await std::move(fetch);
        }
    }
    if (!response) {
        setSummaries(QString(), QString());
        co_return;
    }
    setSummaries(summarizeAppSession(response->currentAppSession, m_language.language()),
                 summarizePairing(response->desktopPairing, m_language.language()));
}

void Pairing::setSummaries(QString phone, QString pairing) {
    publish(m_currentPairingSummary, std::move(pairing));
    publish(m_currentPhoneSummary, std::move(phone));
}

void Pairing::forget() {
    publish(m_pairingSession, std::nullopt);
    setSummaries(QString(), QString());
}

} // namespace skerrin
