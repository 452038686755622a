// Many carvex runs in one process (carvex --jobs): each job's outputs whole or
// absent, failures reported under their line number while the others go on,
// and an exit code that says whether any job failed.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

#include "geometry/shape.h"
#include "shapeio/shapeio.h"
#include "testshapes.h"

namespace {

const QString kFixtures = QStringLiteral(CARVEX_FIXTURES);

struct Outcome {
    int exitCode = -1;
    QString err;
};

class JobList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir(QStringLiteral("out"));
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QString fixture(const char* name) const { return kFixtures + QLatin1Char('/') + name; }

    // A job line: base op operand -o out/NAME (the output relative to the
    // working folder, which is the temporary one).
    QString job(const char* base, const char* op, const char* operand, const QString& out) const {
        return QStringLiteral("%1 %2 %3 -o %4")
            .arg(fixture(base), QLatin1String(op), fixture(operand), out);
    }

    Outcome run(const QStringList& arguments, const QByteArray& input = QByteArray()) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(CARVEX_BINARY), arguments);
        process.write(input);
        process.closeWriteChannel();
        Outcome outcome;
        if (!process.waitForFinished(120000)) {
            ADD_FAILURE() << "carvex --jobs did not finish";
            process.kill();
            process.waitForFinished();
            return outcome;
        }
        outcome.exitCode = process.exitCode();
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    void writeList(const QString& name, const QStringList& lines) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    }

    // The area of a written answer, or NaN when it cannot be read back whole.
    double areaOf(const QString& name) {
        Shape shape;
        QString error;
        if (!readShapeFile(path(name), shape, &error)) return std::nan("");
        double sum = 0.0;
        for (const Spline* s : shape)
            sum += signedArea(*s);
        return std::fabs(sum);
    }

    QTemporaryDir dir;
};

TEST_F(JobList, AFailingJobInTheMiddleLeavesTheOthersWholeOnMoreThreadsThanJobs) {
    // Squares (0,0)-(2,2) and (1,1)-(3,3): union 7, intersection 1,
    // difference 3.
    writeList(QStringLiteral("jobs.txt"),
              {job("square_a.svg", "union", "square_b.svg", QStringLiteral("out/1.svg")),
               job("square_a.svg", "intersect", "square_b.svg", QStringLiteral("out/2.json")),
               job("square_a.svg", "union", "no_such_file.svg", QStringLiteral("out/3.svg")),
               job("square_a.svg", "subtr_a", "square_b.svg", QStringLiteral("out/4.svg")),
               job("square_b.svg", "subtr_a", "square_a.svg", QStringLiteral("out/5.json"))});
    const Outcome outcome = run({QStringLiteral("--jobs"), QStringLiteral("jobs.txt"),
                                 QStringLiteral("--threads"), QStringLiteral("16")});
    EXPECT_EQ(outcome.exitCode, 2) << outcome.err.toStdString();
    EXPECT_NEAR(areaOf(QStringLiteral("out/1.svg")), 7.0, 1e-9);
    EXPECT_NEAR(areaOf(QStringLiteral("out/2.json")), 1.0, 1e-9);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/3.svg"))));
    EXPECT_NEAR(areaOf(QStringLiteral("out/4.svg")), 3.0, 1e-9);
    EXPECT_NEAR(areaOf(QStringLiteral("out/5.json")), 3.0, 1e-9);
    // Nothing is left beside the answers (no half-written temporary files).
    EXPECT_EQ(QDir(path(QStringLiteral("out"))).entryList(QDir::Files).size(), 4);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("carvex: jobs.txt:3: ") +
                                     fixture("no_such_file.svg") + QStringLiteral(": cannot read")))
        << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("jobs.txt:3: job failed (exit code 2)")));
    EXPECT_TRUE(outcome.err.endsWith(QStringLiteral("jobs.txt: 1 of 5 jobs failed (line 3)\n")))
        << outcome.err.toStdString();
    for (const char* line : {"jobs.txt:1:", "jobs.txt:2:", "jobs.txt:4:", "jobs.txt:5:"})
        EXPECT_FALSE(outcome.err.contains(QLatin1String(line))) << line;
}

TEST_F(JobList, EveryJobGoodMeansSuccessWithNothingSaid) {
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << job("square_a.svg", i % 2 ? "union" : "intersect", "square_b.svg",
                     QStringLiteral("out/%1.json").arg(i));
    writeList(QStringLiteral("jobs.txt"), lines);
    const Outcome outcome = run({QStringLiteral("--jobs=jobs.txt"), QStringLiteral("--threads=3")});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, QString());
    for (int i = 0; i < 40; ++i)
        EXPECT_NEAR(areaOf(QStringLiteral("out/%1.json").arg(i)), i % 2 ? 7.0 : 1.0, 1e-9) << i;
}

TEST_F(JobList, LinesAreSplitAsAShellSplitsThemAndMayComeFromStandardInput) {
    ASSERT_TRUE(QFile::copy(fixture("square_b.svg"), path(QStringLiteral("b square.svg"))));
    const QByteArray list =
        "# a comment, then a blank line\n"
        "\n"
        "carvex " +
        fixture("square_a.svg").toUtf8() +
        " union 'b square.svg' -o \"out/with \\\"quotes\\\".svg\"\n" +
        fixture("square_a.svg").toUtf8() + " intersect b\\ square.svg --output=out/2.json\r\n";
    const Outcome outcome = run({QStringLiteral("--jobs"), QStringLiteral("-")}, list);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_NEAR(areaOf(QStringLiteral("out/with \"quotes\".svg")), 7.0, 1e-9);
    EXPECT_NEAR(areaOf(QStringLiteral("out/2.json")), 1.0, 1e-9);
}

TEST_F(JobList, JobsThatCannotRunBesideOthersFailAloneWithTheirLine) {
    writeList(QStringLiteral("jobs.txt"),
              {job("square_a.svg", "union", "square_b.svg", QStringLiteral("out/same.svg")),
               fixture("square_a.svg") + QStringLiteral(" union ") + fixture("square_b.svg"),
               job("square_a.svg", "intersect", "square_b.svg", QStringLiteral("out/same.svg")),
               QStringLiteral("--demo"),
               job("square_a.svg", "bogus", "square_b.svg", QStringLiteral("out/5.svg")),
               job("square_a.svg", "subtr_a", "square_b.svg", QStringLiteral("out/6.svg"))});
    const Outcome outcome = run({QStringLiteral("--jobs"), QStringLiteral("jobs.txt")});
    EXPECT_EQ(outcome.exitCode, 1) << outcome.err.toStdString();
    const QString err = outcome.err;
    EXPECT_TRUE(err.contains(QStringLiteral("jobs.txt:2: a job must name its output with -o")));
    EXPECT_TRUE(err.contains(
        QStringLiteral("jobs.txt:3: output 'out/same.svg' is also written by line 1")));
    EXPECT_TRUE(err.contains(QStringLiteral("jobs.txt:4: --demo is not a job")));
    EXPECT_TRUE(err.contains(QStringLiteral("jobs.txt:5: argument 2: 'bogus' is not an operation")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("4 of 6 jobs failed (lines 2, 3, 4, 5)")));
    EXPECT_NEAR(areaOf(QStringLiteral("out/same.svg")), 7.0, 1e-9);
    EXPECT_NEAR(areaOf(QStringLiteral("out/6.svg")), 3.0, 1e-9);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/5.svg"))));
}

TEST_F(JobList, OutputsAreComparedByTheFileTheyReach) {
    // A link to the first line's output, and the same file by another way.
    ASSERT_TRUE(QDir(path(QString())).mkpath(QStringLiteral("out")));
    ASSERT_TRUE(QFile::link(QStringLiteral("same.svg"), path(QStringLiteral("out/link.svg"))));
    writeList(
        QStringLiteral("jobs.txt"),
        {job("square_a.svg", "union", "square_b.svg", QStringLiteral("out/same.svg")),
         job("square_a.svg", "intersect", "square_b.svg", QStringLiteral("out/link.svg")),
         job("square_a.svg", "subtr_a", "square_b.svg", QStringLiteral("out/../out/./same.svg"))});
    const Outcome outcome = run({QStringLiteral("--jobs"), QStringLiteral("jobs.txt")});
    EXPECT_EQ(outcome.exitCode, 1) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(
        QStringLiteral("jobs.txt:2: output 'out/link.svg' is also written by line 1")))
        << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(
        QStringLiteral("jobs.txt:3: output 'out/../out/./same.svg' is also written by line 1")));
    // The first line's answer is the one written.
    EXPECT_NEAR(areaOf(QStringLiteral("out/same.svg")), 7.0, 1e-9);

    // One command naming one file twice is refused before it reads anything.
    const Outcome twice =
        run({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
             QStringLiteral("-o"), path(QStringLiteral("out/same.svg")), QStringLiteral("-o"),
             path(QStringLiteral("out/link.svg"))});
    EXPECT_EQ(twice.exitCode, 1);
    EXPECT_TRUE(twice.err.contains(QStringLiteral("is given twice"))) << twice.err.toStdString();
}

TEST_F(JobList, AListThatCannotBeUsedRunsNothing) {
    writeList(QStringLiteral("jobs.txt"),
              {job("square_a.svg", "union", "square_b.svg", QStringLiteral("out/1.svg")),
               QStringLiteral("a.svg union 'b.svg -o out/2.svg")});
    Outcome outcome = run({QStringLiteral("--jobs"), QStringLiteral("jobs.txt")});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.err,
              QStringLiteral("carvex: jobs.txt:2:13: the quote opened here is not closed\n"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/1.svg"))));

    outcome = run({QStringLiteral("--jobs"), QStringLiteral("missing.txt")});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(
        outcome.err.startsWith(QStringLiteral("carvex: missing.txt: cannot read the job list")));

    for (const char* threads : {"0", "1.5", "x", "257"}) {
        outcome = run({QStringLiteral("--jobs"), QStringLiteral("jobs.txt"),
                       QStringLiteral("--threads"), QLatin1String(threads)});
        EXPECT_EQ(outcome.exitCode, 1) << threads;
        EXPECT_TRUE(outcome.err.contains(QStringLiteral("must be a whole number from 1 to 256")));
    }
    outcome = run({QStringLiteral("--jobs"), QStringLiteral("jobs.txt"), QStringLiteral("a.svg")});
    EXPECT_EQ(outcome.exitCode, 1);
}

}  // namespace
