// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"

#include <optional>

#include <unistd.h>

namespace skerrin {

// The platform's error for an errno value: what a failed system call or spawn gives.
Error platformError(int code);

// Owns one descriptor and closes it when reset or destroyed.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

struct Pipe {
    FileDescriptor read;
    FileDescriptor write;
};

// Both ends close on exec, so no other run's child inherits them; only the parent's end reads
// without blocking, the child writes to an ordinary blocking pipe.
std::optional<Error> openPipe(Pipe& pipe);

} // namespace skerrin
