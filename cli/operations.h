#pragma once

#include <QString>
#include <QStringList>

// The operation names of the command line and the engine's codes for them
// (boolean/boolean.h): 0 union, 1 intersect, 2 subtr_a, 3 subtr_b, and
// 4 xor, which only the region engine answers.

constexpr int kOperationXor = 4;

// The code for a name, case-insensitive, '-' and '_' alike; -1 when the name
// is none of the operations or their aliases.
int operationFromName(const QString& name);

// The canonical name of a code: "union", "intersect", "subtr_a", "subtr_b",
// "xor".
QString operationName(int operation);

// One line per operation for --help.
QStringList operationHelpLines();
