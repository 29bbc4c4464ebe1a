#include "fuzz_reader.h"
#include "image/vdi_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vdrec::fuzz::fuzzReader<vdrec::image::VdiReader>(data, size, "disk.vdi");
}
