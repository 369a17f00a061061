// SPDX-License-Identifier: MIT
#include "process/SpawnChild.h"

#include "process/ChildEnvironment.h"

#include <QFile>

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <spawn.h>

namespace skerrin {
namespace {

// A null-terminated pointer vector over byte strings that outlive it.
std::vector<char*> pointersTo(std::vector<QByteArray>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (QByteArray& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The executable's path, then the arguments.
std::vector<QByteArray> argumentVector(const ProcessSpec& spec) {
    std::vector<QByteArray> bytes;
    bytes.reserve(size_t(spec.arguments.size()) + 1);
    bytes.push_back(QFile::encodeName(spec.executable));
    for (const QString& argument : spec.arguments)
        bytes.push_back(argument.toUtf8());
    return bytes;
}

// What the child's descriptors and folder become.
class FileActions {
public:
    FileActions(const ProcessSpec& spec, const Pipe& outPipe, const Pipe& errPipe) {
        posix_spawn_file_actions_init(&m_actions);
        // Nothing is ever typed into a child: our own terminal or pipe is not theirs to read.
        posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&m_actions, outPipe.write.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&m_actions, errPipe.write.get(), STDERR_FILENO);
        if (spec.currentDirectory) {
            m_directory = QFile::encodeName(*spec.currentDirectory);
            posix_spawn_file_actions_addchdir_np(&m_actions, m_directory.constData());
        }
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }

    const posix_spawn_file_actions_t* get() const { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
    QByteArray m_directory;
};

// A group of the child's own, and every signal at its default, unblocked: what the application
// ignores or blocks must not stay ignored or blocked in the child.
class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&m_attributes);
        sigset_t defaults;
        sigfillset(&defaults);
        sigset_t unblocked;
        sigemptyset(&unblocked);
        posix_spawnattr_setsigdefault(&m_attributes, &defaults);
        posix_spawnattr_setsigmask(&m_attributes, &unblocked);
        posix_spawnattr_setpgroup(&m_attributes, 0);
        posix_spawnattr_setflags(&m_attributes,
                                 POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }

    const posix_spawnattr_t* get() const { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

// The child's id, or the error that kept it from starting.
std::variant<pid_t, Error> spawnChild(const ProcessSpec& spec, const Pipe& outPipe, const Pipe& errPipe) {
    std::vector<QByteArray> arguments = argumentVector(spec);
    const std::vector<char*> argv = pointersTo(arguments);
    std::vector<QByteArray> environment = childEnvironment(spec.additions, spec.fillMissingPath);
    const std::vector<char*> envp = pointersTo(environment);
    const FileActions actions(spec, outPipe, errPipe);
    const SpawnAttributes attributes;
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, arguments.front().constData(), actions.get(), attributes.get(),
                                      argv.data(), envp.data());
    if (spawned != 0)
        return platformError(spawned);
    return pid;
}

} // namespace

std::variant<FinishedChild, Error> spawnAndWait(const ProcessSpec& spec) {
    Pipe outPipe;
    Pipe errPipe;
    if (auto failure = openPipe(outPipe))
        return *failure;
    if (auto failure = openPipe(errPipe))
        return *failure;

    const Clock::time_point deadline = spec.limit ? Clock::now() + spec.limit->duration : kNoDeadline;
    auto spawned = spawnChild(spec, outPipe, errPipe);
    // Only the child writes now, so each pipe ends when the child and what it started are gone.
    outPipe.write.reset();
    errPipe.write.reset();
    if (auto* failure = std::get_if<Error>(&spawned))
        return std::move(*failure);
    const pid_t pid = std::get<pid_t>(spawned);

    const RunWithoutLimit counted(!spec.limit);
    if (spec.limit)
        LimitedRuns::instance().add(pid);
    if (spec.cancel)
        spec.cancel->addGroup(pid);
    return drainAndWait(pid, outPipe, errPipe, deadline, spec.cancel);
}

} // namespace skerrin
