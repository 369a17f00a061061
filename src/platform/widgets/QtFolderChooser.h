// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FolderChooser.h"

namespace skerrin {

// A modal QFileDialog: folders only, no folder creation, one selection.
FolderChooser makeFolderChooser();

} // namespace skerrin
