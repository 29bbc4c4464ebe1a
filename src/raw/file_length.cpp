#include "raw/file_length.h"

#include <array>

#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

using Measurer = std::optional<uint64_t> (*)(CandidateBuffer&);

struct Kind {
    std::string_view extension;
    Measurer measure;
};

constexpr std::array kKinds{
    Kind{"jpg", measureJpeg},         Kind{"png", measurePng},
    Kind{"gif", measureGif},          Kind{"bmp", measureBmp},
    Kind{"pdf", measurePdf},          Kind{"zip", measureZip},
    Kind{"docx", measureZip},         Kind{"xlsx", measureZip},
    Kind{"pptx", measureZip},         Kind{"odt", measureZip},
    Kind{"rar", measureRar},          Kind{"7z", measureSevenZip},
    Kind{"mp3", measureMp3},          Kind{"mp4", measureIsoMedia},
    Kind{"mov", measureIsoMedia},     Kind{"avi", measureAvi},
    Kind{"wav", measureWav},          Kind{"doc", measureCompoundFile},
    Kind{"xls", measureCompoundFile}, Kind{"sqlite", measureSqlite},
};

Measurer measurerOf(std::string_view extension) {
    for (const Kind& kind : kKinds)
        if (kind.extension == extension) return kind.measure;
    return nullptr;
}

}  // namespace

bool hasFileLengthMeasure(std::string_view extension) { return measurerOf(extension) != nullptr; }

std::optional<uint64_t> measureFileLength(std::string_view extension, const CandidateRead& read, uint64_t limit) {
    const Measurer measure = measurerOf(extension);
    if (measure == nullptr || !read || limit == 0) return std::nullopt;
    CandidateBuffer in(read, limit);
    const std::optional<uint64_t> length = measure(in);
    if (!length || *length == 0 || *length > limit) return std::nullopt;
    return length;
}

}  // namespace vdrec::raw
