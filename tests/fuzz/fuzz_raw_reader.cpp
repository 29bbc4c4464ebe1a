#include "fuzz_reader.h"
#include "image/file_read_seek.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vdrec::fuzz::fuzzReader<vdrec::image::FileReadSeek>(data, size, "disk.img");
}
