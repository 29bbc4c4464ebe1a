#include "fuzz_reader.h"
#include "image/vmdk_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vdrec::fuzz::fuzzReader<vdrec::image::VmdkReader>(data, size, "disk.vmdk");
}
