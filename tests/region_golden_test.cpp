// The region engine's answers held against answers recorded from an earlier
// build: the benchmark families and the shapes the tests draw, every
// operation. A change inside the engine that is meant to keep its answers
// must keep these loops, knot for knot, within 1e-9 of the shapes' size.
//
// CARVEX_WRITE_GOLDEN=FILE region_golden_test   records the answers anew.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "drawnshapes.h"
#include "shaperegion/shaperegion.h"

#ifndef CARVEX_GOLDEN_FILE
#error "CARVEX_GOLDEN_FILE names the recorded answers"
#endif

namespace {

using namespace drawn;

struct Case {
    std::string name;
    Shape a;
    Shape b;
    carvex::FillRule fillA = carvex::FillRule::NonZero;
    carvex::FillRule fillB = carvex::FillRule::NonZero;
};

const carvex::Operation kOps[] = {carvex::Operation::Union, carvex::Operation::Intersect,
                                  carvex::Operation::SubtrA, carvex::Operation::SubtrB,
                                  carvex::Operation::Xor};
const char* kOpNames[] = {"union", "intersect", "subtr_a", "subtr_b", "xor"};

std::vector<Case> cases() {
    std::vector<Case> out;
    auto add = [&](std::string name, Shape a, Shape b,
                   carvex::FillRule fa = carvex::FillRule::NonZero,
                   carvex::FillRule fb = carvex::FillRule::NonZero) {
        out.push_back({std::move(name), std::move(a), std::move(b), fa, fb});
    };
    for (int n : {8, 64}) {
        for (double scale : {1.0, 100.0, 10000.0}) {
            const std::string tag = std::to_string(n) + "@" + std::to_string(int(scale));
            add("round" + tag, shapeOf({roundSpline({0, 0}, scale, n)}),
                shapeOf({roundSpline({0.6 * scale, 0.1 * scale}, scale, n)}));
            add("gear" + tag, shapeOf({gear({0, 0}, scale, n, 0.1, 0.25, false)}),
                shapeOf({gear({0, 0}, scale, n, 0.1, 0.75, true)}));
        }
    }
    add("gear512", shapeOf({gear({0, 0}, 1, 512, 0.1, 0.25, false)}),
        shapeOf({gear({0, 0}, 1, 512, 0.1, 0.75, true)}));
    add("ring-bar", ring({100, 100}, 80, 40), shapeOf({rectangle(0, 90, 200, 110)}));
    add("nested-square", nestedRings({0, 0}, 10, 3), shapeOf({rectangle(-2, -12, 2, 12)}),
        carvex::FillRule::EvenOdd);
    add("pentagram-circle", shapeOf({pentagram({0, 0}, 10)}), shapeOf({circle({3, 0}, 4)}),
        carvex::FillRule::EvenOdd);
    add("pentagram-nonzero", shapeOf({pentagram({0, 0}, 10)}), shapeOf({circle({3, 0}, 4)}));
    add("combs", shapeOf({comb(0, 0, 10, 10, 5)}), shapeOf({sidewaysComb(0, 0, 10, 10, 5)}));
    add("stars", shapeOf({star({0, 0}, 10, 4, 7, 0.0, true)}),
        shapeOf({star({1, 0.5}, 9, 3, 5, 0.3, true)}));
    add("blobs", shapeOf({blob(7, {0, 0}, 5, 12)}), shapeOf({blob(11, {2, 1}, 5, 10)}));
    add("shared-edge", shapeOf({rectangle(0, 0, 10, 10)}), shapeOf({rectangle(10, 0, 20, 10)}));
    add("copies", shapeOf({circle({0, 0}, 5)}), shapeOf({circle({0, 0}, 5)}));
    add("rounded-far", scaledCopy(shapeOf({roundedRectangle(0, 0, 4, 3, 1)}), 1e-3, 6e5, -2e5),
        scaledCopy(shapeOf({circle({3.5, 2.5}, 1.2)}), 1e-3, 6e5, -2e5));
    add("hole-tangent", ring({0, 0}, 10, 5), shapeOf({circle({7.5, 0}, 2.5)}));
    return out;
}

// One answer as text: the status, then per loop its knots.
std::string describeAnswer(const carvex::ShapeResult& r) {
    std::ostringstream s;
    s.precision(17);
    s << "status " << int(r.status) << " loops " << r.shape.size() << "\n";
    for (const Spline* spline : r.shape) {
        s << "loop " << spline->size() << "\n";
        for (const Knot* k : *spline)
            s << k->point.x << " " << k->point.y << " " << k->inVec.x << " " << k->inVec.y << " "
              << k->outVec.x << " " << k->outVec.y << " " << k->type << "\n";
    }
    return s.str();
}

struct Recorded {
    std::string name;
    std::vector<std::string> lines;
};

std::vector<Recorded> readRecorded(const std::string& path) {
    std::ifstream in(path);
    std::vector<Recorded> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("case ", 0) == 0)
            out.push_back({line.substr(5), {}});
        else if (!out.empty())
            out.back().lines.push_back(line);
    }
    return out;
}

std::vector<double> numbers(const std::string& line) {
    std::istringstream s(line);
    std::vector<double> v;
    double x;
    while (s >> x)
        v.push_back(x);
    return v;
}

// Whether two answers hold the same loops: the same header lines, knot
// lines equal in type and within tol in every coordinate.
bool sameAnswer(const std::vector<std::string>& want, const std::vector<std::string>& got,
                double tol, std::string* why) {
    if (want.size() != got.size()) {
        *why = "line count " + std::to_string(got.size()) + " instead of " +
               std::to_string(want.size());
        return false;
    }
    for (size_t i = 0; i < want.size(); ++i) {
        if (want[i].rfind("status", 0) == 0 || want[i].rfind("loop", 0) == 0) {
            if (want[i] != got[i]) {
                *why = "'" + got[i] + "' instead of '" + want[i] + "'";
                return false;
            }
            continue;
        }
        const std::vector<double> a = numbers(want[i]);
        const std::vector<double> b = numbers(got[i]);
        bool same = a.size() == b.size() && a.size() == 7 && a[6] == b[6];
        for (size_t k = 0; same && k < 6; ++k)
            same = std::fabs(a[k] - b[k]) <= tol;
        if (!same) {
            *why = "knot '" + got[i] + "' instead of '" + want[i] + "'";
            return false;
        }
    }
    return true;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream s(text);
    std::string line;
    while (std::getline(s, line))
        lines.push_back(line);
    return lines;
}

TEST(RegionGolden, AnswersMatchTheRecordedOnes) {
    const std::vector<Case> all = cases();
    if (const char* target = std::getenv("CARVEX_WRITE_GOLDEN")) {
        std::ofstream out(target);
        for (const Case& c : all)
            for (int op = 0; op < 5; ++op) {
                carvex::RegionOptions options;
                options.fillA = c.fillA;
                options.fillB = c.fillB;
                out << "case " << c.name << " " << kOpNames[op] << "\n"
                    << describeAnswer(carvex::combine(c.a, c.b, kOps[op], options));
            }
        GTEST_SKIP() << "recorded into " << target;
    }
    const std::vector<Recorded> recorded = readRecorded(CARVEX_GOLDEN_FILE);
    ASSERT_EQ(recorded.size(), all.size() * 5) << "the recorded answers are of other cases";
    size_t k = 0;
    for (const Case& c : all) {
        const double size = std::max(boundsOf(c.a).extent(), boundsOf(c.b).extent());
        // Far from the origin no answer is finer than a few steps between
        // doubles there, however small the shapes.
        double far = 0.0;
        for (const Box& b : {boundsOf(c.a), boundsOf(c.b)})
            far =
                std::max({far, std::fabs(b.x0), std::fabs(b.x1), std::fabs(b.y0), std::fabs(b.y1)});
        const double tolerance =
            std::max(1e-9 * size, 4.0 * (std::nextafter(far, 2.0 * far + 1.0) - far));
        for (int op = 0; op < 5; ++op, ++k) {
            const std::string name = c.name + " " + kOpNames[op];
            ASSERT_EQ(recorded[k].name, name);
            carvex::RegionOptions options;
            options.fillA = c.fillA;
            options.fillB = c.fillB;
            const carvex::ShapeResult r = carvex::combine(c.a, c.b, kOps[op], options);
            std::string why;
            EXPECT_TRUE(
                sameAnswer(recorded[k].lines, splitLines(describeAnswer(r)), tolerance, &why))
                << name << ": " << why;
        }
    }
}

}  // namespace
