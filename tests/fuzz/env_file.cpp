// SPDX-License-Identifier: MIT
// A runtime's config/.env, which the runtime's own scripts and the user edit.
#include "FuzzInput.h"

#include "core/Text.h"
#include "runtime/EnvFile.h"

using namespace skerrin;
using namespace skerrin::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const EnvValues values = parseEnvText(input(data, size));
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        require(!hasLineBreak(it.key()) && !hasLineBreak(it.value()), "a pair stays on its line");
        require(trimmed(it.key()) == it.key() && !it.key().contains(QLatin1Char('=')),
                "a key is trimmed and ends at the first equals sign");
    }
    hasPairingEnvironment(values);
    return 0;
}
