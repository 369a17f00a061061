// SPDX-License-Identifier: MIT
#include "core/BoundedFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace skerrin {

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes) {
    // Opened before it is examined, so nothing can be swapped in between; O_NONBLOCK keeps the
    // open of a FIFO from waiting for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<QByteArray> content;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxBytes) {
        // Sized by what the file says it holds; a file still growing gets room up to one byte past
        // the bound, which marks it as too large.
        QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
        qsizetype filled = 0;
        bool failed = false;
        for (;;) {
            if (filled == bytes.size()) {
                if (filled > maxBytes)
                    break;
                bytes.resize(qsizetype(std::min<qint64>(maxBytes + 1, 2 * qint64(filled))));
            }
            const ssize_t n = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
            if (n < 0 && errno == EINTR)
                continue;
            failed = n < 0;
            if (n <= 0)
                break;
            filled += n;
        }
        if (!failed && filled <= maxBytes) {
            bytes.truncate(filled);
            content = std::move(bytes);
        }
    }
    ::close(fd);
    return content;
}

} // namespace skerrin
