// Near-copies, stacks of them, and shapes far from the origin, tiny and huge
// (see nearcopy.h): every answer of the five operations must keep the area
// identities, and no answer may have a negative area. A refusal is always
// allowed; a wrong region reported as success is not.

#include "fuzzcheck.h"
#include "nearcopy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const NearCopyCase c = decodeNearCopyCase(data, size);
    const std::string broken = checkNearCopyCase(c);
    if (!broken.empty()) std::fprintf(stderr, "%s\n", broken.c_str());
    FUZZ_CHECK(broken.empty());
    return 0;
}
