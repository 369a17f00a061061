// SPDX-License-Identifier: MIT
#include "app/CommandLine.h"
#include "app/TrayLauncher.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    if (arguments.isEmpty() || arguments == QStringList{QStringLiteral("--windowed")})
        return skerrin::execTrayApplication(!arguments.isEmpty());
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
