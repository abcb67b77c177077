// The libFuzzer entry of one target: fuzz/CMakeLists.txt builds it once per target, naming
// the target's function in VORLITH_FUZZ_TARGET.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    vorlith::fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vorlith::fuzz::VORLITH_FUZZ_TARGET(data, size);
    return 0;
}
