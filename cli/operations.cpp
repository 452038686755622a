#include "operations.h"

namespace {

using carvex::Operation;

struct OperationNames {
    Operation operation;
    const char* name;
    const char* aliases[3];
    const char* meaning;
};

const OperationNames kOperations[] = {
    {Operation::Union, "union", {"add", "unite", nullptr}, "the base united with the operand"},
    {Operation::Intersect,
     "intersect",
     {"intersection", "and", nullptr},
     "the overlap of base and operand"},
    {Operation::SubtrA,
     "subtr_a",
     {"minus", "subtract", "difference"},
     "the base minus the operand"},
    {Operation::SubtrB,
     "subtr_b",
     {"reverse_minus", nullptr, nullptr},
     "the operand minus the base"},
    {Operation::Xor,
     "xor",
     {"exclude", "symmetric_difference", nullptr},
     "what lies in just one of the two"},
};

}  // namespace

bool operationFromName(const QString& name, Operation* operation) {
    const QString key = name.trimmed().toLower().replace(QLatin1Char('-'), QLatin1Char('_'));
    for (const OperationNames& op : kOperations) {
        bool match = key == QLatin1String(op.name);
        for (const char* alias : op.aliases)
            match = match || (alias && key == QLatin1String(alias));
        if (match) {
            *operation = op.operation;
            return true;
        }
    }
    return false;
}

QString operationName(Operation operation) {
    for (const OperationNames& op : kOperations)
        if (op.operation == operation) return QLatin1String(op.name);
    return QStringLiteral("operation %1").arg(carvex::operationCode(operation));
}

QStringList operationHelpLines() {
    QStringList lines;
    for (const OperationNames& op : kOperations) {
        QStringList aliases;
        for (const char* alias : op.aliases)
            if (alias) aliases.append(QLatin1String(alias));
        lines.append(QStringLiteral("  %1%2(also: %3)")
                         .arg(QLatin1String(op.name), -11)
                         .arg(QLatin1String(op.meaning), -36)
                         .arg(aliases.join(QStringLiteral(", "))));
    }
    return lines;
}
