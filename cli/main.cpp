#include <QCoreApplication>

#include "command.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("carvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CARVEX_VERSION));
    return runCommand(QCoreApplication::arguments().mid(1));
}
