// SPDX-License-Identifier: MIT
// The pairing session file the runtime's pairing script writes, and its expiry's date-time form.
#include "FuzzInput.h"

#include "core/Text.h"
#include "pairing/PairingSession.h"

using namespace skerrin;
using namespace skerrin::fuzz;

namespace {

void checkDateTime(const std::optional<QDateTime>& when) {
    if (!when)
        return;
    require(when->isValid() && when->timeSpec() == Qt::UTC, "an expiry is a valid UTC time");
    // Qt's own ISO form of a parsed time reads back as the same time, within four-digit years.
    if (when->date().year() >= 1 && when->date().year() <= 9999)
        require(parseInternetDateTime(when->toString(Qt::ISODate)) == *when, "an expiry reads back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = input(data, size);
    if (const std::optional<PairingSessionFile> session = decodePairingSession(bytes)) {
        require(!session->setupCode.isEmpty() && trimmed(session->setupCode) == session->setupCode,
                "a setup code is trimmed and not empty");
        checkDateTime(session->expiresAt);
    }
    // The date-time reader on its own, with the whole input as the text.
    if (const std::optional<QString> text = decodeStrictUtf8(bytes))
        checkDateTime(parseInternetDateTime(*text));
    return 0;
}
