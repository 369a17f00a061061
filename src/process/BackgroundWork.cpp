// SPDX-License-Identifier: MIT
#include "process/BackgroundWork.h"

#include <limits>

namespace skerrin {

QThreadPool& backgroundPool() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool; // lives until exit; threads may still be waiting on children then
        created->setMaxThreadCount(std::numeric_limits<int>::max());
        created->setExpiryTimeout(30000);
        return created;
    }();
    return *pool;
}

} // namespace skerrin
