// SPDX-License-Identifier: MIT
#include "process/ChildEnvironment.h"

#include <cstring>

extern char** environ;

namespace skerrin {
namespace {

const QByteArray kPathName = QByteArrayLiteral("PATH");

QByteArray variableName(const char* entry) {
    const char* equals = std::strchr(entry, '=');
    return equals ? QByteArray(entry, equals - entry) : QByteArray(entry);
}

} // namespace

std::vector<QByteArray> childEnvironment(const Environment& additions, bool fillMissingPath) {
    QHash<QByteArray, QByteArray> added;
    for (auto it = additions.cbegin(); it != additions.cend(); ++it)
        added.insert(it.key().toUtf8(), it.key().toUtf8() + '=' + it.value().toUtf8());

    std::vector<QByteArray> entries;
    bool hasPath = added.contains(kPathName);
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray name = variableName(*entry);
        if (added.contains(name))
            continue;
        hasPath = hasPath || name == kPathName;
        entries.emplace_back(*entry);
    }
    for (auto it = added.cbegin(); it != added.cend(); ++it)
        entries.push_back(it.value());
    if (!hasPath && fillMissingPath)
        entries.push_back(kPathName + '=' + kFixedSearchPath.toUtf8());
    return entries;
}

} // namespace skerrin
