// SPDX-License-Identifier: MIT
// What the runtime's status script prints, read for the markers and the one-line detail.
#include "FuzzInput.h"

#include "core/Text.h"
#include "model/StatusRefresh.h"

using namespace skerrin;
using namespace skerrin::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = input(data, size);
    // The process runner decodes strictly; the lenient decoding reaches more texts.
    const QString output = decodeStrictUtf8(bytes).value_or(QString::fromUtf8(bytes));
    const bool running = connectorIsRunning(output);
    const QString root = QStringLiteral("/home/u/.brevant/brevant-runtime");
    for (const AppLanguage language : {AppLanguage::english, AppLanguage::chinese}) {
        const QString detail = summarizeConnectorStatus(trimmed(output), root, running, language);
        require(!detail.isEmpty() && !hasLineBreak(detail), "the detail is one line");
    }
    return 0;
}
