#include <QCoreApplication>

#include <cstdio>
#include <new>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "combine.h"
#include "command.h"
#include "jobs.h"

namespace {

// Blocks of this size or more go back to the system when freed (bytes). The
// allocator would otherwise raise the bar as large blocks come and go and
// keep every stage's freed buffers, which for a large drawing held the
// process a fifth above what it ever uses at once.
constexpr int kReturnedBlockBytes = 128 * 1024;

// One pool of memory for every thread: the engine's threads on spare cores
// would otherwise each get a pool of their own, whose freed blocks stay
// resident beside the main one's (a megabyte and more on the world map).
void returnLargeBlocks() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kReturnedBlockBytes);
    mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    returnLargeBlocks();
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
