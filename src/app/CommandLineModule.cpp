// SPDX-License-Identifier: MIT
// The command line, loaded by `skerrin` when it is given a command.
#include "app/CommandLine.h"
#include "app/Launcher.h"

#include <QCoreApplication>

#include <cstdio>

extern "C" __attribute__((visibility("default"))) int skerrinCommandLine(int argc, char** argv) {
    static_assert(std::is_same_v<decltype(&skerrinCommandLine), skerrin::CommandLineEntry>);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const std::optional<skerrin::Command> command = skerrin::parseCommand(arguments);
    if (!command) {
        std::fputs(qPrintable(skerrin::usageText()), stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Skerrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Skerrin"));
    return skerrin::runHeadless(*command);
}
