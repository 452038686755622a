#include <QCoreApplication>

#include "command.h"
#include "jobs.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("carvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CARVEX_VERSION));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (asksForJobList(arguments)) return runJobList(arguments);
    return runCommand(arguments);
}
