#pragma once

// Which implementation the engine runs. Both give the same results, bit for
// bit. Literal intersects every segment of A with every segment of B and
// measures every length afresh; it is kept as the reference that the fast
// implementation is checked and measured against.
enum class Algorithm { Fast, Literal };

// The algorithm in force on this thread: Fast unless a scope says otherwise.
Algorithm currentAlgorithm();

inline bool literalAlgorithm() {
    return currentAlgorithm() == Algorithm::Literal;
}

// Engine calls made while a scope lives use its algorithm; the previous one
// comes back when it ends.
class AlgorithmScope {
public:
    explicit AlgorithmScope(Algorithm algorithm);
    ~AlgorithmScope();
    AlgorithmScope(const AlgorithmScope&) = delete;
    AlgorithmScope& operator=(const AlgorithmScope&) = delete;

private:
    Algorithm previous_;
};
