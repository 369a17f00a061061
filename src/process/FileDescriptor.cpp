// SPDX-License-Identifier: MIT
#include "process/FileDescriptor.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>

namespace skerrin {

Error platformError(int code) {
    return Error{QStringLiteral("POSIX"), code, QString::fromLocal8Bit(std::strerror(code))};
}

std::optional<Error> openPipe(Pipe& pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return platformError(errno);
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    const int flags = ::fcntl(fds[0], F_GETFL);
    if (flags < 0 || ::fcntl(fds[0], F_SETFL, flags | O_NONBLOCK) != 0)
        return platformError(errno);
    return std::nullopt;
}

} // namespace skerrin
