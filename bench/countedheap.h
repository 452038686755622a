#pragma once

// The heap a benchmark program holds, counted by its replaced global
// operator new and delete (countedheap.cpp, linked into every benchmark):
// the bytes in use now and the most in use since the last markPeak.

namespace countedheap {

long long inUse();

// Starts a new peak at what is in use now and returns that.
long long markPeak();

// The most in use since markPeak.
long long peak();

}  // namespace countedheap
