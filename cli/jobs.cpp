#include "jobs.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "combine.h"
#include "command.h"
#include "messages.h"
#include "shapeio/numbertext.h"
#include "shapeio/shapeio.h"

namespace {

constexpr int kMaxThreads = 256;

bool isJobsOption(const QString& argument) {
    return argument == QLatin1String("--jobs") || argument.startsWith(QLatin1String("--jobs="));
}

// Splits one line as a shell splits words; false on an unclosed quote, with
// the column of the quote that is not closed.
bool splitLine(const QString& line, QStringList* words, int* badColumn) {
    QString word;
    bool inWord = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const int opened = i;
            inWord = true;
            for (++i; i < line.size() && line[i] != c; ++i) {
                // In double quotes a backslash escapes only what would end them.
                if (c == QLatin1Char('"') && line[i] == QLatin1Char('\\') && i + 1 < line.size() &&
                    (line[i + 1] == QLatin1Char('"') || line[i + 1] == QLatin1Char('\\')))
                    ++i;
                word += line[i];
            }
            if (i >= line.size()) {
                *badColumn = opened + 1;
                return false;
            }
        } else if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord) words->append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words->append(word);
    return true;
}

// The output files a job names, as the command reads -o FILE, -oFILE,
// --output FILE and --output=FILE.
QStringList outputsOf(const QStringList& arguments) {
    QStringList outputs;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if ((a == QLatin1String("-o") || a == QLatin1String("--output")) &&
            i + 1 < arguments.size())
            outputs.append(arguments[++i]);
        else if (a.startsWith(QLatin1String("--output=")))
            outputs.append(a.mid(9));
        else if (a.startsWith(QLatin1String("-o")) && !a.startsWith(QLatin1String("--")))
            outputs.append(a.mid(2));
    }
    return outputs;
}

// What makes a line unfit to run as a job beside others, or an empty string.
QString unfitForJob(const QStringList& arguments) {
    for (const QString& a : arguments) {
        const QString name = a.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("--jobs") || name == QLatin1String("--threads"))
            return QStringLiteral("a job cannot start a job list");
        if (name == QLatin1String("--demo"))
            return QStringLiteral("--demo is not a job; run it on its own");
        if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
            name == QLatin1String("--version"))
            return QStringLiteral("%1 is not a job; run it on its own").arg(a);
    }
    if (outputsOf(arguments).isEmpty())
        return QStringLiteral(
            "a job must name its output with -o FILE: standard output is shared by every job");
    return QString();
}

struct JobOutcome {
    int exitCode = 0;
    QStringList messages;
};

// Job messages as the command prints them ("carvex: a.svg:3:4: ...") under
// the job's place in the list ("carvex: jobs.txt:12: a.svg:3:4: ...").
void printJobMessages(const QString& place, const JobOutcome& outcome) {
    QString text;
    for (QString line : outcome.messages) {
        if (line.startsWith(QLatin1String("Try 'carvex --help'"))) continue;
        if (line.startsWith(QLatin1String("carvex: "))) line = line.mid(8);
        text += QStringLiteral("carvex: %1: %2\n").arg(place, line);
    }
    if (outcome.exitCode != ExitSuccess)
        text += QStringLiteral("carvex: %1: job failed (exit code %2)\n")
                    .arg(place)
                    .arg(outcome.exitCode);
    std::fputs(qPrintable(text), stderr);
    std::fflush(stderr);
}

int jobListUsageError(const QString& text) {
    std::fprintf(stderr, "carvex: %s\nTry 'carvex --help' for more information.\n",
                 qPrintable(text));
    return ExitUsage;
}

}  // namespace

bool asksForJobList(const QStringList& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), isJobsOption);
}

bool parseJobList(const QString& text, const QString& listName, QList<JobLine>* jobs,
                  QString* error) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) continue;
        JobLine job;
        job.lineNumber = i + 1;
        int badColumn = 0;
        if (!splitLine(line, &job.arguments, &badColumn)) {
            *error = QStringLiteral("%1:%2:%3: the quote opened here is not closed")
                         .arg(listName)
                         .arg(i + 1)
                         .arg(badColumn);
            return false;
        }
        // A line may be written as the whole command.
        if (job.arguments.value(0) == QLatin1String("carvex")) job.arguments.removeFirst();
        jobs->append(job);
    }
    return true;
}

int runJobList(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption jobsOption(QStringLiteral("jobs"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption threadsOption(QStringLiteral("threads"), QString(),
                                           QStringLiteral("N"));
    parser.addOptions({jobsOption, threadsOption});
    if (!parser.parse(QStringList(QStringLiteral("carvex")) + arguments))
        return jobListUsageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return jobListUsageError(
            QStringLiteral("--jobs takes its jobs from the list alone, not '%1'")
                .arg(parser.positionalArguments().first()));
    if (parser.values(jobsOption).size() != 1)
        return jobListUsageError(QStringLiteral("--jobs is given more than once"));

    int threads = QThread::idealThreadCount();
    if (parser.isSet(threadsOption)) {
        double value = 0.0;
        if (!parseWholeNumber(parser.value(threadsOption), &value) || value < 1 ||
            value > kMaxThreads || value != int(value))
            return jobListUsageError(
                QStringLiteral("--threads '%1' must be a whole number from 1 to %2")
                    .arg(parser.value(threadsOption))
                    .arg(kMaxThreads));
        threads = int(value);
    }

    const QString listPath = parser.value(jobsOption);
    const bool fromStdin = listPath == QLatin1String("-");
    const QString listName = fromStdin ? QStringLiteral("standard input") : listPath;
    QFile listFile;
    const bool opened = fromStdin
                            ? listFile.open(stdin, QIODevice::ReadOnly)
                            : (listFile.setFileName(listPath), listFile.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "carvex: %s: cannot read the job list: %s\n", qPrintable(listName),
                     qPrintable(listFile.errorString()));
        return ExitBadInput;
    }
    QList<JobLine> jobs;
    QString error;
    if (!parseJobList(QString::fromUtf8(listFile.readAll()), listName, &jobs, &error)) {
        std::fprintf(stderr, "carvex: %s\n", qPrintable(error));
        return ExitBadInput;
    }

    // Lines that cannot run beside others fail before anything runs; two
    // jobs writing one file would leave whichever finished last.
    std::vector<JobOutcome> outcomes(jobs.size());
    std::vector<bool> runnable(jobs.size(), true);
    QHash<QString, int> writers;
    for (int i = 0; i < jobs.size(); ++i) {
        QString problem = unfitForJob(jobs[i].arguments);
        for (const QString& output : outputsOf(jobs[i].arguments)) {
            if (!problem.isEmpty()) break;
            const QString absolute = fileReachedBy(output);
            const int other = writers.value(absolute, 0);
            if (other != 0 && other != jobs[i].lineNumber)
                problem =
                    QStringLiteral("output '%1' is also written by line %2").arg(output).arg(other);
            else
                writers.insert(absolute, jobs[i].lineNumber);
        }
        if (problem.isEmpty()) continue;
        runnable[i] = false;
        outcomes[i].exitCode = ExitUsage;
        outcomes[i].messages.append(problem);
    }

    std::mutex printing;
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next++; i < jobs.size(); i = next++) {
            if (runnable[i]) {
                MessageCapture capture;
                outcomes[i].exitCode = runCommand(jobs[i].arguments);
                outcomes[i].messages = capture.lines();
            }
            if (outcomes[i].messages.isEmpty() && outcomes[i].exitCode == ExitSuccess) continue;
            std::lock_guard<std::mutex> lock(printing);
            printJobMessages(QStringLiteral("%1:%2").arg(listName).arg(jobs[i].lineNumber),
                             outcomes[i]);
        }
    };
    std::vector<std::thread> pool;
    const int workers = std::max(1, std::min(threads, int(jobs.size())));
    for (int t = 1; t < workers; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();

    int worst = ExitSuccess;
    QStringList failedLines;
    for (int i = 0; i < jobs.size(); ++i) {
        if (outcomes[i].exitCode == ExitSuccess) continue;
        worst = std::max(worst, outcomes[i].exitCode);
        failedLines.append(QString::number(jobs[i].lineNumber));
    }
    if (!failedLines.isEmpty())
        std::fprintf(stderr, "carvex: %s: %d of %d jobs failed (line%s %s)\n", qPrintable(listName),
                     int(failedLines.size()), int(jobs.size()), failedLines.size() == 1 ? "" : "s",
                     qPrintable(failedLines.join(", ")));
    return worst;
}
