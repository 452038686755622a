#pragma once

#include <QString>
#include <QStringList>

// Many carvex runs in one process: a job list holds one command line per
// line (the arguments of one run, split as a shell splits them: blanks
// between words, '...' and "..." quoting, \ escaping; blank lines and lines
// starting with # are skipped). The jobs run on a number of threads, each
// exactly as a separate carvex run would, writing its own outputs whole or
// not at all. A failing job is reported under its line number and the
// others go on.

// True when the arguments ask for a job list (--jobs FILE or --jobs=FILE).
bool asksForJobList(const QStringList& arguments);

// Runs carvex --jobs FILE|- [--threads N]; returns 0 when every job
// succeeded, else the highest exit code of a failed job (1 usage, 2 bad
// input, 3 cannot write), or 1 when the job list itself cannot be used.
int runJobList(const QStringList& arguments);

// One job: its line number (from 1) and its arguments.
struct JobLine {
    int lineNumber = 0;
    QStringList arguments;
};

// Splits a job list into its jobs. On a line that cannot be split (an
// unclosed quote) returns false and says where in error.
bool parseJobList(const QString& text, const QString& listName, QList<JobLine>* jobs,
                  QString* error);
