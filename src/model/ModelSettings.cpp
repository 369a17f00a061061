// SPDX-License-Identifier: MIT
#include "model/ModelSettings.h"

namespace skerrin {

void ModelSettings::report(std::optional<Error> failure) {
    if (!failure)
        return;
    m_saveFailure = failure->description();
    emit writeFailed(*m_saveFailure);
}

} // namespace skerrin
