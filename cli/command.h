#pragma once

#include <QStringList>

// Runs the carvex command with its arguments (without the program name)
// and returns the exit code. Needs a QCoreApplication.
int runCommand(const QStringList& arguments);

// Runs the bundled example into folder, writing one SVG and one PNG per
// operation and an overview picture; returns the exit code.
int runDemo(const QString& folder, double threshold);
