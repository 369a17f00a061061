// SPDX-License-Identifier: MIT
// The runtime manifest the installer downloads: whatever the server answers, an error page included.
#include "FuzzInput.h"

#include "runtime/RuntimeManifest.h"

using namespace skerrin;
using namespace skerrin::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Result<RuntimeManifest> manifest = decodeRuntimeManifest(input(data, size));
    if (!manifest.ok())
        require(manifest.failure().description().startsWith(QStringLiteral("The data couldn’t be read")),
                "a bad manifest fails with the decoder's wording");
    return 0;
}
