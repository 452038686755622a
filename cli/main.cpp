#include <QCoreApplication>

#include <cstdio>
#include <new>

#include "combine.h"
#include "command.h"
#include "jobs.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("carvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CARVEX_VERSION));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    // No output is written before everything has been computed, so running
    // out of memory anywhere leaves every file as it was.
    try {
        if (asksForJobList(arguments)) return runJobList(arguments);
        return runCommand(arguments);
    } catch (const std::bad_alloc&) {
        std::fputs(
            "\ncarvex: out of memory: the inputs need more memory than this machine "
            "gives; no output was written\n",
            stderr);
        return ExitOutOfMemory;
    }
}
