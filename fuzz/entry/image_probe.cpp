#include "FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    vorlith::fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vorlith::fuzz::imageProbe(data, size);
    return 0;
}
