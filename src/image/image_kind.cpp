#include "image/image_kind.h"

#include "image/raw_reader.h"
#include "image/vdi_reader.h"
#include "image/vhd_reader.h"
#include "image/vmdk_reader.h"
#include "platform/byte_reader.h"

namespace vdrec::image {

ImageKind detectImageKind(platform::ByteSource& source) {
    uint8_t head[72] = {};
    platform::readFully(source, 0, head, sizeof head);
    const platform::ByteReader in(platform::asBytes(head, sizeof head));
    if (in.matches(0, "conectix")) return ImageKind::DynamicVhd;
    if (in.le32Or0(64) == kVdiSignature) return ImageKind::Vdi;
    if (in.le32Or0(0) == kVmdkMagic) return ImageKind::Vmdk;
    return ImageKind::Raw;
}

std::optional<ImageKind> detectImageKind(const std::string& path) {
    auto file = platform::ImageFile::open(path);
    if (!file) return std::nullopt;
    return detectImageKind(*file);
}

std::string_view kindName(ImageKind kind) {
    switch (kind) {
        case ImageKind::Raw: return "raw";
        case ImageKind::DynamicVhd: return "vhd";
        case ImageKind::Vdi: return "vdi";
        case ImageKind::Vmdk: return "vmdk";
    }
    return "raw";
}

std::optional<ImageKind> parseKindName(std::string_view name) {
    for (ImageKind kind : {ImageKind::Raw, ImageKind::DynamicVhd, ImageKind::Vdi, ImageKind::Vmdk})
        if (kindName(kind) == name) return kind;
    return std::nullopt;
}

std::unique_ptr<ImageReader> makeReader(ImageKind kind, WizardState& state, platform::UiSink& sink) {
    switch (kind) {
        case ImageKind::DynamicVhd: return std::make_unique<VhdReader>(state, sink);
        case ImageKind::Vdi: return std::make_unique<VdiReader>(state, sink);
        case ImageKind::Vmdk: return std::make_unique<VmdkReader>(state, sink);
        case ImageKind::Raw: break;
    }
    return std::make_unique<RawReader>(state, sink);
}

}  // namespace vdrec::image
