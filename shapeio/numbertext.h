#pragma once

#include <QString>

#include <string>

// Numbers as text: the shortest decimal form that reads back to the same
// double, and a strict reader for the number grammar shared by SVG path data,
// SVG attributes and JSON.

// The shortest text that parses back to exactly v ("0.1", "-0", "1e-05").
// NaN and infinities give "nan" and "inf", which no reader here accepts.
QString shortestText(double v);
// The same text appended to out, for writers of many numbers.
void appendShortestText(std::string& out, double v);

// Scans one number at text[pos]: optional sign, digits with an optional
// fraction (".5" and "1." are numbers), optional exponent. On success stores
// the value, moves pos past the number and returns true. Values below the
// smallest double become a signed zero; values beyond the largest fail with
// overflow set. Nothing is moved on failure.
bool scanNumber(const QString& text, int& pos, double* value, bool* overflow = nullptr);

// The whole of text (surrounding blanks allowed) as one finite number.
bool parseWholeNumber(const QString& text, double* value);

// How many user units (CSS pixels) one of an SVG length's absolute units is:
// "" and px 1, pt, pc, mm, cm and in as CSS fixes them. False for any other
// unit (percentages and font-relative units need a context).
bool userUnitsPer(const QString& unit, double* scale);
