#pragma once

#include <QString>
#include <QStringList>

#include "region/operation.h"

// The operation names of the command line.

// The operation for a name, case-insensitive, '-' and '_' alike; false when
// the name is none of the operations or their aliases.
bool operationFromName(const QString& name, carvex::Operation* operation);

// The canonical name of an operation: "union", "intersect", "subtr_a",
// "subtr_b", "xor".
QString operationName(carvex::Operation operation);

// One line per operation for --help.
QStringList operationHelpLines();
