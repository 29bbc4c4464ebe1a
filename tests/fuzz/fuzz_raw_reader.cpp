#include "fuzz_reader.h"
#include "image/raw_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vdrec::fuzz::fuzzReader<vdrec::image::RawReader>(data, size, "disk.img");
}
