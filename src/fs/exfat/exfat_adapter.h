#pragma once
// What the results model asks of exFAT entries, answered from the parser's records.

#include "fs/exfat/exfat_volume.h"
#include "fs/parser_adapter.h"

namespace vdrec::fs::exfat {

class ExfatAdapter final : public ParserAdapter<ExfatVolume> {
public:
    using ParserAdapter::ParserAdapter;

    std::vector<EntryRef> rootLevel() const override;
    bool isFolder(EntryRef entry) const override;
    EntryRef firstChild(EntryRef entry) const override;
    EntryRef nextSibling(EntryRef entry) const override;
    bool isDeleted(EntryRef entry, bool parentDeleted) const override;
    ListTexts listTexts(EntryRef entry) const override;
    SaveKind saveKind(EntryRef entry) const override;
    Rules rules() const override;
};

}  // namespace vdrec::fs::exfat
