#include "splinecase.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Reads bytes front to back; past the end every byte is zero.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() {
        const std::uint16_t low = u8();
        return std::uint16_t(low | (u8() << 8));
    }
    double raw() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= std::uint64_t(u8()) << (8 * i);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    double value() {
        const std::uint8_t selector = u8();
        if (selector < kGridSelectorEnd) return std::int16_t(u16()) / 16.0;
        if (selector >= kRawSelectorEnd) return specialValue(selector - kRawSelectorEnd);
        const double v = raw();
        const double magnitude = std::fabs(v);
        if (magnitude > kLargestDecoded && magnitude < kSmallestHuge)
            return std::copysign(1e300, v);
        return v;
    }
    Point3d xy() {
        const double x = value();
        return {x, value(), 0.0};
    }
    Point3d xyz() {
        const double x = value();
        const double y = value();
        return {x, y, value()};
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

std::unique_ptr<Spline> decodeSpline(ByteReader& in, bool closed) {
    auto spline = std::make_unique<Spline>();
    spline->closed = closed;
    const int count = in.u16() % (kMaxCaseKnots + 1);
    Point3d previous;
    for (int k = 0; k < count; ++k) {
        const std::uint8_t kind = in.u8();
        const int type = kind & 3;
        Point3d point;
        switch ((kind >> 2) & 3) {
            case NewPoint:
                point = in.xy();
                break;
            case SamePoint:
                point = previous;
                break;
            case NearPoint:
                point = previous + in.xy();
                break;
            default:
                point = in.xyz();
                break;
        }
        Point3d inVec = point;
        Point3d outVec = point;
        switch ((kind >> 4) & 3) {
            case HandlesOnPoint:
                break;
            case HandleOffsets:
                inVec = point + in.xy();
                outVec = point + in.xy();
                break;
            case MirroredHandles: {
                const Point3d offset = in.xy();
                outVec = point + offset;
                inVec = point - offset;
                break;
            }
            default:
                inVec = in.xyz();
                outVec = in.xyz();
                break;
        }
        spline->append(new Knot(point, inVec, outVec, 0.0, type));
        previous = point;
    }
    return spline;
}

// A frame made of grid values only: a scale (never zero) and a translation.
Matrix3d decodeFrame(ByteReader& in) {
    Matrix3d frame;
    const double scale = 1.0 + (in.u8() % 8) / 4.0;
    frame.m[0][0] = scale;
    frame.m[1][1] = scale;
    frame.m[3][0] = std::int16_t(in.u16()) / 16.0;
    frame.m[3][1] = std::int16_t(in.u16()) / 16.0;
    return frame;
}

class ByteWriter {
public:
    void u8(std::uint8_t v) { bytes.append(char(v)); }
    void u16(std::uint16_t v) {
        u8(std::uint8_t(v & 0xff));
        u8(std::uint8_t(v >> 8));
    }
    void raw(double v) {
        u8(kGridSelectorEnd);
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i)
            u8(std::uint8_t(bits >> (8 * i)));
    }
    void point(const Point3d& p) {
        raw(p.x);
        raw(p.y);
        raw(p.z);
    }
    QByteArray bytes;
};

void encodeSpline(ByteWriter& out, const Spline& spline) {
    out.u16(std::uint16_t(spline.size()));
    for (const Knot* k : spline) {
        out.u8(std::uint8_t((k->type & 3) | (NewPointZ << 2) | (AbsoluteHandles << 4)));
        out.point(k->point);
        out.point(k->inVec);
        out.point(k->outVec);
    }
}

}  // namespace

double specialValue(int index) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double max = std::numeric_limits<double>::max();
    constexpr double min = std::numeric_limits<double>::min();
    constexpr double tiny = std::numeric_limits<double>::denorm_min();
    static const double values[kSpecialValueCount] = {
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        inf,
        -inf,
        1e300,
        -1e300,
        max,
        -max,
        min,
        -min,
        tiny,
        -tiny,
        0.0,
        -0.0,
        kLargestDecoded,
        -kLargestDecoded,
        1e-10,
        -1e-10,
        0.001,
        0.00001,
        kSmallestHuge,
        -kSmallestHuge,
        1e-300,
        1e-200,
        1.0,
        -1.0,
        0.5,
        65536.0,
        1e200,
        std::nextafter(1.0, 2.0),
        std::nextafter(0.001, 0.0),
        std::numeric_limits<double>::signaling_NaN(),
    };
    return values[index % kSpecialValueCount];
}

double thresholdFromCode(std::uint16_t code) {
    // The accepted range of the command line, ends included exactly.
    if (code == 0) return 0.00001;
    if (code == 65535) return 100000000.0;
    return 0.00001 * std::pow(10.0, 13.0 * code / 65535.0);
}

SplineCase decodeSplineCase(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    SplineCase c;
    c.operation = kCaseOperations[in.u8() % kCaseOperationCount];
    c.threshold = thresholdFromCode(in.u16());
    const std::uint8_t flags = in.u8();
    c.secondOperation = kCaseOperations[in.u8() % kCaseOperationCount];
    c.secondStep = (flags & SecondStep) != 0;
    c.operandIsBase = (flags & OperandIsBase) != 0;
    Matrix3d baseFrame;
    Matrix3d operandFrame;
    if (flags & BaseFramed) baseFrame = decodeFrame(in);
    if (flags & OperandFramed) operandFrame = decodeFrame(in);
    c.base = decodeSpline(in, (flags & BaseClosed) != 0);
    c.operand = decodeSpline(in, (flags & OperandClosed) != 0);
    c.base->frame = baseFrame;
    c.operand->frame = operandFrame;
    c.base->updateLengths();
    c.operand->updateLengths();
    return c;
}

QByteArray encodeSplineCase(std::uint8_t operationIndex, std::uint16_t thresholdCode,
                            const Spline& base, const Spline& operand) {
    ByteWriter out;
    out.u8(operationIndex);
    out.u16(thresholdCode);
    std::uint8_t flags = 0;
    if (base.closed) flags |= BaseClosed;
    if (operand.closed) flags |= OperandClosed;
    out.u8(flags);
    out.u8(0);
    encodeSpline(out, base);
    encodeSpline(out, operand);
    return out.bytes;
}
