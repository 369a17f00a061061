// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>

namespace skerrin {

// The entry point `entry` of a module that ships with Skerrin (see companionFile), loaded from
// `path` for the rest of the run: its code lives there. Null when there is no such module or it
// does not load; standard error then says why, after `consequence` (what goes without it).
void* moduleEntry(const QString& path, const char* entry, const char* consequence);

// The one object a module's entry point makes (`T* entry()`, the caller owning it), made the first
// time it is asked for and kept; null when the module is missing or does not load.
template <typename T> class ModuleObject {
public:
    ModuleObject(QString path, const char* entry, const char* consequence)
        : m_path(std::move(path)), m_entry(entry), m_consequence(consequence) {}

    T* get() const {
        if (!m_tried) {
            m_tried = true;
            if (const auto make = reinterpret_cast<T* (*)()>(moduleEntry(m_path, m_entry, m_consequence)))
                m_object.reset(make());
        }
        return m_object.get();
    }

private:
    QString m_path;
    const char* m_entry;
    const char* m_consequence;
    mutable bool m_tried = false;
    mutable std::unique_ptr<T> m_object;
};

} // namespace skerrin
