#include "geometry/algorithm.h"

namespace {
thread_local Algorithm tAlgorithm = Algorithm::Fast;
}

Algorithm currentAlgorithm() {
    return tAlgorithm;
}

AlgorithmScope::AlgorithmScope(Algorithm algorithm) : previous_(tAlgorithm) {
    tAlgorithm = algorithm;
}

AlgorithmScope::~AlgorithmScope() {
    tAlgorithm = previous_;
}
