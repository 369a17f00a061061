// SPDX-License-Identifier: MIT
// The autostart entry, which desktops' settings rewrite (Hidden=true) and users edit.
#include "FuzzInput.h"

#include "platform/linux/XdgAutostartEntry.h"

using namespace skerrin;
using namespace skerrin::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = input(data, size);
    autostartEntryEnabled(bytes);
    require(!autostartEntryEnabled(bytes + "\nHidden=true\n"), "a Hidden=true line switches any entry off");
    return 0;
}
