#include <QCoreApplication>

#include <cstdio>
#include <new>

#include "combine.h"
#include "command.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("carvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CARVEX_VERSION));
    // No output is written before everything has been computed, so running
    // out of memory anywhere leaves every file as it was.
    try {
        return runCommand(QCoreApplication::arguments().mid(1));
    } catch (const std::bad_alloc&) {
        std::fputs(
            "\ncarvex: out of memory: the inputs need more memory than this machine "
            "gives; no output was written\n",
            stderr);
        return ExitOutOfMemory;
    }
}
