#pragma once

// The Boolean operations, one vocabulary for both engines, the command, the
// library and Python. The per-pair engine answers the first four; the region
// engine all five.

namespace carvex {

enum class Operation {
    Union,      // a u b
    Intersect,  // a n b
    SubtrA,     // a - b: the base minus the operand
    SubtrB,     // b - a: the operand minus the base
    Xor,        // points in exactly one of a and b
};

// The code a stored operation keeps: 0 to 3 as the modifier's parameter
// block keeps its four, 4 for xor.
constexpr int operationCode(Operation op) {
    return static_cast<int>(op);
}

// The operation a code stands for; false, leaving *op alone, for any other
// code.
constexpr bool operationOfCode(int code, Operation* op) {
    if (code < 0 || code > operationCode(Operation::Xor)) return false;
    *op = static_cast<Operation>(code);
    return true;
}

}  // namespace carvex
