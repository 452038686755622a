#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "geometry/spline.h"

// One input of the Boolean fuzz target: two splines, an operation code and a
// threshold, decoded from arbitrary bytes. Every byte string decodes to some
// case (missing bytes read as zero), so the fuzzer never wastes an input.
//
// Layout, front to back:
//   u8   operation: index into kCaseOperations
//   u16  threshold code, little-endian: 0 is 0.00001, 65535 is 100000000,
//        log-uniform in between
//   u8   flags: see CaseFlag
//   u8   second operation (only with SecondStep)
//   base spline, then operand spline:
//     u16  knot count (modulo kMaxCaseKnots + 1)
//     per knot: u8 kind, then the values the kind asks for
//   a value is a u8 selector and its bytes: a grid value (int16 / 16, the
//   size of ordinary drawings), a raw double (8 bytes) or one of the special
//   values (NaN, infinities, 1e300, denormals, signed zeros...).
//
// Finite magnitudes between kLargestDecoded and kSmallestHuge decode as
// +-1e300. Curves of that size are measured at the length depth cap
// (kMaxLengthDepth): some 5 million piece tests for each crossing placed on
// them, bounded but far too slow under the fuzzer's instrumentation for
// outlines with thousands of crossings. The command refuses coordinates
// beyond 1e9, and single curves of every size are measured in the tests and
// by the reader targets. Larger values stay: squares of their measures leave
// the doubles and such curves are taken as chords, cheaply.

constexpr int kMaxCaseKnots = 256;
constexpr double kLargestDecoded = 1e5;
constexpr double kSmallestHuge = 1e155;

// Operation codes a case can ask for: the four operations, xor and a code
// that names none, both of which the per-pair engine must refuse.
constexpr int kCaseOperations[] = {0, 1, 2, 3, 4, -1};
constexpr int kCaseOperationCount = 6;

enum CaseFlag : std::uint8_t {
    BaseClosed = 1,
    OperandClosed = 2,
    OperandIsBase = 4,  // the pair is (A, A)
    OperandFramed = 8,  // the operand has a frame of its own
    BaseFramed = 16,
    SecondStep = 32,  // a second operation on the result and the operand
};

// Knot kinds: bits 0-1 the knot type, bits 2-3 the PointMode, bits 4-5 the
// HandleMode.
enum PointMode : std::uint8_t {
    NewPoint = 0,   // x, y
    SamePoint = 1,  // the previous knot's point again: a zero-length segment
    NearPoint = 2,  // the previous point plus an offset x, y
    NewPointZ = 3,  // x, y, z
};
enum HandleMode : std::uint8_t {
    HandlesOnPoint = 0,
    HandleOffsets = 1,    // in and out as offsets from the point (4 values)
    MirroredHandles = 2,  // out as an offset, in mirrored (2 values)
    AbsoluteHandles = 3,  // in and out as positions with z (6 values)
};

// Selectors of a value.
constexpr std::uint8_t kGridSelectorEnd = 192;  // [0, 192): int16 / 16
constexpr std::uint8_t kRawSelectorEnd = 224;   // [192, 224): raw double
constexpr int kSpecialValueCount = 32;          // [224, 256): special values

double specialValue(int index);
double thresholdFromCode(std::uint16_t code);

struct SplineCase {
    int operation = 0;
    int secondOperation = 0;
    bool secondStep = false;
    double threshold = 0.0;
    bool operandIsBase = false;
    std::unique_ptr<Spline> base;
    std::unique_ptr<Spline> operand;
};

SplineCase decodeSplineCase(const std::uint8_t* data, std::size_t size);

// The bytes of a case with the given splines (every knot written with raw
// doubles, so that they decode exactly), for seeds and reproducers.
QByteArray encodeSplineCase(std::uint8_t operationIndex, std::uint16_t thresholdCode,
                            const Spline& base, const Spline& operand);
