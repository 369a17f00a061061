// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace skerrin {

// Volume properties of a path; each is absent when the platform cannot tell.
struct VolumeProperties {
    std::optional<bool> isInternal;
    std::optional<bool> isRemovable;
    std::optional<bool> isEjectable;
};

struct ResolvedBookmark {
    QString path;
    bool isStale = false;
};

// Folder bookmarks and the access that a folder on an external volume needs.
class VolumeAccess {
public:
    virtual ~VolumeAccess() = default;
    // Absent when the query fails (for instance when nothing exists at the path).
    virtual std::optional<VolumeProperties> volumeProperties(const QString& path) const = 0;
    virtual std::optional<QByteArray> createBookmark(const QString& path) const = 0;
    virtual std::optional<ResolvedBookmark> resolveBookmark(const QByteArray& bookmark,
                                                            bool allowUserInterface) const = 0;
    virtual bool startAccessing(const QString& path) = 0;
    virtual void stopAccessing(const QString& path) = 0;
};

std::unique_ptr<VolumeAccess> makeVolumeAccess();

} // namespace skerrin
