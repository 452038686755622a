// The Boolean engine's entry, fed two splines decoded from the input (see
// splinecase.h): it must end, leave no sanitizer report, and keep the
// promises that its callers rely on.

#include <cstring>

#include "boolean/boolean.h"
#include "fuzzcheck.h"
#include "splinecase.h"

namespace {

bool sameFrame(const Matrix3d& a, const Matrix3d& b) {
    return std::memcmp(a.m, b.m, sizeof a.m) == 0;
}

void checkValid(const Spline& s) {
    for (const Knot* k : s)
        FUZZ_CHECK(k != nullptr);
}

void applyStep(Spline& A, Spline& B, bool sameSpline, int code, double threshold) {
    // Any code is cast as a stored one would be: xor and unknown codes must
    // be refused, leaving the pair alone.
    const auto operation = static_cast<carvex::Operation>(code);
    const bool known = code >= 0 && code <= carvex::operationCode(carvex::Operation::SubtrB);
    const Matrix3d frameA = A.frame;
    const Matrix3d frameB = B.frame;
    const bool combined = applyOperation(A, B, operation, threshold);
    checkValid(A);
    checkValid(B);
    // Every answer of an operation is a closed outline.
    if (combined && known && !sameSpline) FUZZ_CHECK(A.closed);
    // Frames come back as they were; B - A takes the operand's frame.
    if (!sameSpline) FUZZ_CHECK(sameFrame(B.frame, frameB));
    const bool takesOperand = operation == carvex::Operation::SubtrB && !sameSpline;
    FUZZ_CHECK(sameFrame(A.frame, takesOperand ? frameB : frameA));
    if (!known) FUZZ_CHECK(!combined);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SplineCase c = decodeSplineCase(data, size);
    Spline& A = *c.base;
    Spline& B = c.operandIsBase ? A : *c.operand;
    applyStep(A, B, c.operandIsBase, c.operation, c.threshold);
    if (c.secondStep) applyStep(A, B, c.operandIsBase, c.secondOperation, c.threshold);
    return 0;
}
