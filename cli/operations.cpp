#include "operations.h"

#include "boolean/boolean.h"

namespace {

struct OperationNames {
    int code;
    const char* name;
    const char* aliases[3];
    const char* meaning;
};

const OperationNames kOperations[] = {
    {Union, "union", {"add", "unite", nullptr}, "the base united with the operand"},
    {Intersect, "intersect", {"intersection", "and", nullptr}, "the overlap of base and operand"},
    {SubtrA, "subtr_a", {"minus", "subtract", "difference"}, "the base minus the operand"},
    {SubtrB, "subtr_b", {"reverse_minus", nullptr, nullptr}, "the operand minus the base"},
    {kOperationXor,
     "xor",
     {"exclude", "symmetric_difference", nullptr},
     "what lies in just one of the two"},
};

}  // namespace

int operationFromName(const QString& name) {
    const QString key = name.trimmed().toLower().replace(QLatin1Char('-'), QLatin1Char('_'));
    for (const OperationNames& op : kOperations) {
        if (key == QLatin1String(op.name)) return op.code;
        for (const char* alias : op.aliases)
            if (alias && key == QLatin1String(alias)) return op.code;
    }
    return -1;
}

QString operationName(int operation) {
    for (const OperationNames& op : kOperations)
        if (op.code == operation) return QLatin1String(op.name);
    return QStringLiteral("operation %1").arg(operation);
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
