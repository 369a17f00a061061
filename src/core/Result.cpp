// SPDX-License-Identifier: MIT
#include "core/Result.h"

namespace skerrin {

Error error(const QString& message) {
    return Error{kErrorDomain, 1, message};
}

} // namespace skerrin
