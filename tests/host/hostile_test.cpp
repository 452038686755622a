// Careless and hostile input to the stand-in host, its scene files, the
// pick mode and the shape readers: every mistake refused with a message
// that names the file and the place, and every accepted input read in
// bounded time and memory.

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "boolean/boolean.h"
#include "hosttest.h"
#include "pairing/pairing.h"
#include "resource.h"
#include "shapeio/shapeio.h"
#include "standin/ui.h"
#include "uisession.h"

using namespace hosttest;

namespace {

const auto* const guiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QString loadError(const QByteArray& json) {
    auto scene = newScene();
    QString why;
    EXPECT_FALSE(scene->loadJson(json, QDir::tempPath(), &why)) << json.left(300).toStdString();
    return why;
}

QByteArray carvexWith(const QByteArray& params) {
    return R"({"modifiers": [{"id": "m", "class": "Carvex", "params": )" + params + "}]}";
}

// A closed square of side 1 at (x, y), as engine splines.
Spline* square(double x, double y, double side = 1.0) {
    auto* s = new Spline();
    s->append(new Knot(Point3d{x, y, 0}, 0.0));
    s->append(new Knot(Point3d{x + side, y, 0}, 0.0));
    s->append(new Knot(Point3d{x + side, y + side, 0}, 0.0));
    s->append(new Knot(Point3d{x, y + side, 0}, 0.0));
    s->closed = true;
    s->updateLengths();
    return s;
}

// Every bit of a number: text alone drops the sign of zero.
QString bits(double v) {
    quint64 b;
    std::memcpy(&b, &v, sizeof b);
    return QString::number(b, 16);
}

QStringList dump(const Shape& shape) {
    QStringList out;
    for (const Spline* s : shape) {
        out << QStringLiteral("spline %1 closed %2 length %3")
                   .arg(s->size())
                   .arg(s->closed)
                   .arg(bits(s->length));
        for (const Knot* k : *s) {
            QStringList knot;
            for (double v : {k->point.x, k->point.y, k->point.z, k->inVec.x, k->inVec.y,
                             k->outVec.x, k->outVec.y, k->segLength, k->param})
                knot << bits(v);
            out << QStringLiteral("  type %1: %2").arg(k->type).arg(knot.join(' '));
        }
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Scene files

TEST(HostileScene, ParametersOutsideTheirRangesAreRefusedWithTheirPlace) {
    struct Case {
        QByteArray params;
        QString message;
    };
    const Case cases[] = {
        {R"({"Threshold": 1e30})",
         "modifiers[0].params.Threshold: 1e+30 is out of range: it must lie between 1e-05 and "
         "1e+08"},
        {R"({"Threshold": -5})",
         "modifiers[0].params.Threshold: -5 is out of range: it must lie between 1e-05 and 1e+08"},
        {R"({"Threshold": 0})",
         "modifiers[0].params.Threshold: 0 is out of range: it must lie between 1e-05 and 1e+08"},
        {R"({"Type": 4})",
         "modifiers[0].params.Type: 4 is out of range: it must lie between 0 and 3"},
        {R"({"Type": -1})",
         "modifiers[0].params.Type: -1 is out of range: it must lie between 0 and 3"},
        {R"({"Type": 1.5})", "modifiers[0].params.Type: 1.5 is not a whole number"},
        {R"({"Operation_types": [0, 1e12]})",
         "modifiers[0].params.Operation_types[1]: 1e+12 is not a whole number"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(loadError(carvexWith(c.params)), c.message);

    // The ends of the ranges are accepted.
    for (const char* params :
         {R"({"Threshold": 0.00001, "Type": 3})", R"({"Threshold": 100000000, "Type": 0})"}) {
        auto scene = newScene();
        QString why;
        EXPECT_TRUE(scene->loadJson(carvexWith(params), QDir::tempPath(), &why))
            << why.toStdString();
    }
}

TEST(HostileScene, KnotsAndCoordinatesHaveTheLimitsOfShapeFiles) {
    QByteArray knots;
    for (int k = 0; k < 100001; ++k)
        knots += QByteArray(k ? "," : "") + "{\"point\": [0, 0, 0]}";
    const QByteArray many = R"({"nodes": [{"name": "A", "object": {"type": "splineShape",
        "splines": [{"closed": true, "knots": [)" +
                            knots + "]}]}}]}";
    EXPECT_TRUE(loadError(many).startsWith("nodes[0].object.splines[0].knots: "))
        << loadError(many).toStdString();
    EXPECT_TRUE(loadError(many).contains("100000")) << loadError(many).toStdString();

    const QByteArray far = R"({"nodes": [{"name": "A", "object": {"type": "splineShape",
        "splines": [{"closed": true, "knots": [{"point": [0, 2e9, 0]}]}]}}]})";
    EXPECT_EQ(loadError(far).toStdString(),
              "nodes[0].object.splines[0].knots[0]: point: expected [x, y, z], each at most 1e9 "
              "in magnitude");
}

// A pipe with no writer blocks whoever opens it for reading: refused before.
TEST(HostileScene, PipesAreRefusedBeforeTheyAreOpened) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString scenePipe = dir.filePath("scene.json");
    const QString shapePipe = dir.filePath("shape.svg");
    ASSERT_EQ(mkfifo(QFile::encodeName(scenePipe).constData(), 0600), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(shapePipe).constData(), 0600), 0);
    // Should the refusal be missing, a writer comes after 3 s and lets the
    // test end; it never waits for a reader itself, nor once the test is
    // over.
    std::atomic<bool> done{false};
    std::thread unblock([&] {
        for (int waited = 0; waited < 3000 && !done; waited += 10)
            QThread::msleep(10);
        for (int tries = 0; tries < 50 && !done; ++tries, QThread::msleep(100))
            for (const QString& p : {scenePipe, shapePipe}) {
                const int fd = ::open(QFile::encodeName(p).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
            }
    });
    QElapsedTimer clock;
    clock.start();
    auto scene = newScene();
    QString why;
    EXPECT_FALSE(scene->load(scenePipe, &why));
    EXPECT_EQ(why, scenePipe + ": not a regular file");
    Shape shape;
    EXPECT_FALSE(readShapeFile(shapePipe, shape, &why));
    EXPECT_EQ(why, shapePipe + ": not a regular file");
    EXPECT_LT(clock.elapsed(), 2000);
    done = true;
    unblock.join();
}

// ---------------------------------------------------------------------------
// The pick mode

TEST(HostilePick, TheModifiedNodeAndCyclesAreRefusedWithoutARow) {
    auto scene = newScene();
    Modifier* mod = scene->createModifier("Carvex");
    ASSERT_NE(mod, nullptr);
    INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    // Another modified node that takes Base as its operand: picking it into
    // Base's modifier would make each depend on the other.
    Modifier* other = scene->createModifier("Carvex");
    INode* dependent = modifiedNode(*scene, "Dependent", shapeOf({rectangle(2, 2, 4, 4)}), other);
    addOperand(other, base, 0);
    INode* plain = scene->addNode("Plain", shapeOf({rectangle(5, 5, 20, 20)}));

    auto* ip = static_cast<IObjParam*>(GetCOREInterface());
    mod->BeginEditParams(ip, 0, nullptr);
    HWND rollout = standin::rollouts().first().window;
    HWND add = GetDlgItem(rollout, IDC_ADD);
    RECT r;
    GetClientRect(add, &r);
    ASSERT_TRUE(standin::mouseClick(add, QPoint(r.right / 2, r.bottom / 2)));
    IParamBlock2* pb = mod->GetParamBlock(0);
    standin::viewportClick(base);
    standin::viewportClick(dependent);
    EXPECT_EQ(pb->Count(0), 0);
    EXPECT_EQ(pb->Count(2), 0);
    EXPECT_TRUE(standin::viewportClick(plain));
    ASSERT_EQ(pb->Count(0), 1);
    EXPECT_EQ(pb->Count(2), 1);
    EXPECT_EQ(pb->GetINode(0, 0, 0), plain);
    standin::viewportRightClick();
    mod->EndEditParams(ip, 0, nullptr);

    // The evaluation sees the one operand, and a saved scene no empty row.
    const QByteArray saved = scene->saveJson();
    EXPECT_FALSE(saved.contains("null")) << saved.toStdString();
    EXPECT_NE(scene->evaluate(base), nullptr);
}

// A row number far past the list is a click far off it: nothing is
// selected, so Remove removes nothing. Computed in int, the place
// overflowed (which the sanitizer build stops at) and wrapped around:
// row 286331154 came out 23 pixels down, on the second row.
TEST(HostilePick, SelectingAHugeRowIsAClickOffTheList) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto scene = newScene();
    Modifier* mod = scene->createModifier("Carvex");
    modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    addOperand(mod, scene->addNode("First", shapeOf({rectangle(2, 2, 4, 4)})), 0);
    addOperand(mod, scene->addNode("Second", shapeOf({rectangle(5, 5, 8, 8)})), 0);
    const QString script = dir.filePath("session.txt");
    ASSERT_TRUE(writeFile(script,
                          "open Base\nselect 2147483647\npress Remove\n"
                          "select -2147483648\npress Remove\n"
                          "select 286331154\npress Remove\n"
                          "select 1\npress Remove\nclose\n"));
    QString log;
    QTextStream out(&log);
    QString why;
    ASSERT_TRUE(runUiSession(*scene, script, QString(), 1, out, &why)) << why.toStdString();
    out.flush();
    const QStringList lines = log.split('\n');
    const int first = lines.indexOf("select 2147483647");
    ASSERT_GE(first, 0) << log.toStdString();
    // Each select and Remove reports the rows after it.
    const QString both = "  rows: First (U), Second (U); first visible row 0";
    EXPECT_EQ(lines.mid(first, 12), QStringList({"select 2147483647", both, "press Remove", both,
                                                 "select -2147483648", both, "press Remove", both,
                                                 "select 286331154", both, "press Remove", both}))
        << log.toStdString();
    // A row on the list is selected and removed, as the check above expects.
    EXPECT_TRUE(log.contains("  rows: First (U); first visible row 0")) << log.toStdString();
}

// ---------------------------------------------------------------------------
// Shape file messages and document type definitions

TEST(HostileShapeFiles, MessagesStayShortAndSayWhatIsWrong) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Shape shape;
    QString why;

    const QString big = dir.filePath("big.svg");
    ASSERT_TRUE(writeFile(big, "<svg xmlns='http://www.w3.org/2000/svg'><rect width='" +
                                   QByteArray(20 * 1024 * 1024, 'w') + "' height='1'/></svg>"));
    EXPECT_FALSE(readShapeFile(big, shape, &why));
    EXPECT_LT(why.size(), 1000);
    EXPECT_TRUE(why.startsWith(big + ":1:")) << why.left(200).toStdString();

    const QString other = dir.filePath("other.svg");
    ASSERT_TRUE(writeFile(other,
                          "<svg xmlns='http://example.com/not-svg'><rect width='1' "
                          "height='1'/></svg>"));
    EXPECT_FALSE(readShapeFile(other, shape, &why));
    EXPECT_EQ(why, other +
                       ":1:1: not an SVG document: the root element <svg> is in the "
                       "namespace 'http://example.com/not-svg', not in "
                       "http://www.w3.org/2000/svg");

    const QString json = dir.filePath("version.json");
    ASSERT_TRUE(writeFile(json, R"({"format": "carvex-shape", "version": "1", "splines": []})"));
    EXPECT_FALSE(readShapeFile(json, shape, &why));
    EXPECT_TRUE(why.contains("(not a number)")) << why.toStdString();
    EXPECT_FALSE(why.contains("missing")) << why.toStdString();
}

TEST(HostileShapeFiles, DocumentTypeDefinitionsAreBounded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray body =
        "<svg xmlns='http://www.w3.org/2000/svg'><rect width='1' height='1'/></svg>";
    auto withDtd = [&](const QByteArray& dtd) { return "<!DOCTYPE svg [" + dtd + "]>" + body; };
    auto read = [&](const QByteArray& text, QString* why) {
        const QString path = dir.filePath("dtd.svg");
        EXPECT_TRUE(writeFile(path, text));
        Shape shape;
        return readShapeFile(path, shape, why);
    };
    QString why;
    QByteArray attlists;
    for (int i = 0; i < 65; ++i)
        attlists += "<!ATTLIST g>";
    EXPECT_FALSE(read(withDtd(attlists), &why));
    EXPECT_TRUE(why.contains("more than 64 attribute-list declarations")) << why.toStdString();

    QByteArray entities;
    for (int i = 0; i < 257; ++i)
        entities += QStringLiteral("<!ENTITY e%1 'x'>").arg(i).toLatin1();
    EXPECT_FALSE(read(withDtd(entities), &why));
    EXPECT_TRUE(why.contains("more than 256 entity declarations")) << why.toStdString();

    EXPECT_FALSE(read(withDtd("<!-- " + QByteArray(70000, 'c') + " -->"), &why));
    EXPECT_TRUE(why.contains("document type definition of more than")) << why.toStdString();
    EXPECT_TRUE(why.contains(":1:1:")) << why.toStdString();

    // Namespaces named by entities, as some editors write them, still read.
    const QByteArray editor =
        "<?xml version='1.0'?>\n<!DOCTYPE svg PUBLIC '-//W3C//DTD SVG 1.1//EN' "
        "'http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd' [\n"
        "  <!ENTITY ns_svg 'http://www.w3.org/2000/svg'>\n"
        "  <!ENTITY ns_xlink 'http://www.w3.org/1999/xlink'>\n]>\n"
        "<svg xmlns='&ns_svg;' xmlns:xlink='&ns_xlink;'><rect width='2' height='3'/></svg>";
    EXPECT_TRUE(read(editor, &why)) << why.toStdString();

    // The worst the limits allow, with many elements, reads in time linear
    // in its size.
    QByteArray worst = "<!DOCTYPE svg [";
    for (int i = 0; worst.size() < 1000; ++i)
        worst += QStringLiteral("<!ATTLIST g a%1 CDATA 'v'>").arg(i).toLatin1();
    worst += "]><svg xmlns='http://www.w3.org/2000/svg'><rect width='1' height='1'/>";
    const QByteArray group = "<g/>";
    worst += group.repeated(200000) + "</svg>";
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(read(worst, &why)) << why.toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
    QByteArray longer;
    for (int i = 0; i < 40; ++i)
        longer += QStringLiteral("<!ATTLIST g a%1 CDATA 'value'>").arg(i).toLatin1();
    EXPECT_FALSE(read(withDtd(longer), &why));
    EXPECT_TRUE(why.contains("attribute-list declarations of more than 1024")) << why.toStdString();
}

// ---------------------------------------------------------------------------
// Per-pair combination

// The pairs decided without the engine come out as the engine answers
// them, bit for bit and with its reasons, whatever the operation: near and
// far squares, shared edges, squares inside others, splines the engine
// refuses, splines beyond its magnitude limit and, under B - A, several
// base splines that each meet the operand splines as they came.
TEST(HostilePairs, QuickAnswersAreTheEnginesAnswers) {
    QRandomGenerator random(17);
    for (int round = 0; round < 12; ++round) {
        for (int code : {0, 1, 2, 3, 4}) {
            const carvex::Operation operation = carvex::Operation(code);
            SCOPED_TRACE(
                QStringLiteral("round %1 operation %2").arg(round).arg(code).toStdString());
            Shape base, operand, baseCopy, operandCopy;
            auto fill = [&](Shape& a, Shape& b, int count, int offset) {
                for (int i = 0; i < count; ++i) {
                    const double x = random.bounded(40) * 0.5;
                    const double y = random.bounded(40) * 0.5;
                    const double side = 0.25 + random.bounded(8) * 0.5;
                    a.addSpline(square(x + offset, y, side));
                    b.addSpline(square(x + offset, y, side));
                }
            };
            fill(base, baseCopy, 6, 0);
            fill(operand, operandCopy, 8, 3);
            // Negative zeros, which the engine's mapping makes positive, in
            // an operand spline far from every base spline.
            for (Shape* s : {&operand, &operandCopy})
                s->addSpline(square(-0.0, -100.0, 0.5));
            // An operand spline moved without measuring its lengths again:
            // only what the engine does to it may measure them.
            for (Shape* s : {&operand, &operandCopy})
                s->last()->at(2)->point.x += 0.25;
            // Beyond the magnitude limit at this threshold (1e6): a base
            // square around everything and an operand square far out.
            for (Shape* s : {&base, &baseCopy})
                s->addSpline(square(-2e6, -2e6, 4e6));
            for (Shape* s : {&operand, &operandCopy})
                s->addSpline(square(3e6, 0.0, 1.0));
            // A base square after them, so that under B - A it meets every
            // operand spline after a pair beyond the limit.
            fill(base, baseCopy, 1, 0);
            // An open spline and one of two knots among them.
            base[1]->closed = false;
            baseCopy[1]->closed = false;
            while (operand[2]->size() > 2) {
                delete operand[2]->takeAt(0);
                delete operandCopy[2]->takeAt(0);
            }
            QStringList quick, engine;
            auto text = [](const PairOutcome& o) {
                return QStringLiteral("%1 %2 %3 %4")
                    .arg(o.baseIndex)
                    .arg(o.operandIndex)
                    .arg(o.combined)
                    .arg(int(o.reason));
            };
            applyOperandByPairs(base, operand, operation, 0.001,
                                [&](const PairOutcome& o) { quick << text(o); });
            QList<PairOutcome> outcomes;
            applyOperand(baseCopy, operandCopy, operation, 0.001, &outcomes);
            for (const PairOutcome& o : outcomes)
                engine << text(o);
            EXPECT_EQ(quick, engine);
            EXPECT_EQ(dump(base), dump(baseCopy));
            EXPECT_EQ(dump(operand), dump(operandCopy));
        }
    }
}

// Shapes of many small splines, every base square far from every operand
// square, n of each.
void farSquares(Shape& base, Shape& operand, int n) {
    for (int i = 0; i < n; ++i) {
        base.addSpline(square(3.0 * (i % 100), 3.0 * (i / 100)));
        operand.addSpline(square(3.0 * (i % 100) + 0.5, 3.0 * (i / 100) + 1000.5));
    }
}

std::atomic<int> engineCalls{0};

bool countedEngine(Spline& A, Spline& B, carvex::Operation operation, double threshold,
                   PairReason* reason) {
    ++engineCalls;
    return applyOperation(A, B, operation, threshold, reason);
}

// Pairs whose boxes lie apart, or that lie beyond the magnitude limit, never
// reach the engine; pairs that overlap do, once each.
TEST(HostilePairs, ApartPairsNeverReachTheEngine) {
    using carvex::Operation;
    for (Operation operation :
         {Operation::Union, Operation::Intersect, Operation::SubtrA, Operation::SubtrB}) {
        SCOPED_TRACE(carvex::operationCode(operation));
        Shape base, operand;
        // Each of the first three operand squares overlaps one base square.
        for (double x : {0.5, 3.5, 6.5})
            operand.addSpline(square(x, 0.5));
        farSquares(base, operand, 150);
        // A base square beyond the limit at this threshold (1e6).
        base.addSpline(square(5e6, 0.0));
        engineCalls = 0;
        int pairs = 0;
        int beyond = 0;
        applyOperandByPairs(
            base, operand, operation, 0.001,
            [&](const PairOutcome& o) {
                ++pairs;
                beyond += o.reason == PairReason::BeyondMagnitude;
            },
            countedEngine);
        EXPECT_EQ(pairs, 151 * 153);
        if (operation == carvex::Operation::SubtrB) {
            // Under B - A each base spline becomes what the pair made of it:
            // only base square 0 meets its overlapping square as it came;
            // the others have become a far operand square by then. The
            // square beyond the limit meets only the first operand square
            // as it came, and the later ones as a copy of it.
            EXPECT_EQ(engineCalls, 1);
            EXPECT_EQ(beyond, 1);
        } else {
            EXPECT_EQ(engineCalls, 3);
            EXPECT_EQ(beyond, 153);
        }
    }
}

// Every pair is reported, and under B - A every base spline still becomes
// the last operand spline, with nothing kept per pair.
TEST(HostilePairs, ManySmallSplinesAreAllDecided) {
    for (carvex::Operation operation : {carvex::Operation::Union, carvex::Operation::SubtrB}) {
        Shape base, operand;
        farSquares(base, operand, 600);
        qint64 pairs = 0;
        applyOperandByPairs(base, operand, operation, 0.001,
                            [&](const PairOutcome& o) { pairs += o.combined ? 0 : 1; });
        EXPECT_EQ(pairs, 600LL * 600LL);
        // Under a union far squares stay as they were.
        int changed = 0;
        for (int i = 0; i < base.size(); ++i)
            changed += base[i]->at(0)->point.y != (operation == carvex::Operation::SubtrB
                                                       ? operand[599]->at(0)->point.y
                                                       : 3.0 * (i / 100));
        EXPECT_EQ(changed, 0);
    }
}

// The heap in use, in bytes, as the C library's allocator counts it.
qint64 heapInUse() {
    return qint64(mallinfo2().uordblks);
}

// Memory linear in the knots: while 400 by 400 far squares are decided
// (160,000 pairs, 3,200 squares), the heap never grows by as much as one
// record per pair would take, under a union and under B - A.
TEST(HostilePairs, DecidingPairsStoresNothingPerPair) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator keeps its own counts";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer's allocator keeps its own counts";
#endif
#endif
    for (carvex::Operation operation : {carvex::Operation::Union, carvex::Operation::SubtrB}) {
        SCOPED_TRACE(carvex::operationCode(operation));
        Shape base, operand;
        farSquares(base, operand, 400);
        const qint64 before = heapInUse();
        qint64 peak = before;
        qint64 pairs = 0;
        applyOperandByPairs(base, operand, operation, 0.001, [&](const PairOutcome&) {
            if (++pairs % 500 == 0) peak = std::max(peak, heapInUse());
        });
        EXPECT_EQ(pairs, 400LL * 400LL);
        EXPECT_LT(peak - before, 400LL * 400LL * qint64(sizeof(PairOutcome)))
            << "the heap grew by " << (peak - before) << " bytes";
    }
}

// Running out of memory is an error with its own exit code, not an abort.
TEST(HostilePairs, OutOfMemoryIsAnErrorWithItsExitCode) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
#endif
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 90,000 knots of one spline folded over itself row by row: the union
    // needs 250 to 300 MB of address space, the start and the reading far
    // less than the limit.
    QByteArray points;
    for (int i = 0; i < 90000; ++i)
        points += QStringLiteral("%1,%2 ").arg(i % 300).arg(i / 300).toLatin1();
    const QString big = dir.filePath("big.svg");
    ASSERT_TRUE(writeFile(
        big, "<svg xmlns='http://www.w3.org/2000/svg'><polygon points='" + points + "'/></svg>"));
    const QString out = dir.filePath("out.svg");
    QProcess run;
    run.start("/bin/sh", {"-c", "ulimit -v 180000; exec \"$0\" \"$@\"", CARVEX_CLI_PATH, big,
                          "union", big, "-o", out});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString err = QString::fromLocal8Bit(run.readAllStandardError());
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(run.exitCode(), 5) << err.toStdString();
    EXPECT_TRUE(err.contains("out of memory")) << err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}
