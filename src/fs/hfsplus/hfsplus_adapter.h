#pragma once
// What the results model asks of HFS+ entries, answered from the parser's catalog entries.

#include "fs/hfsplus/hfsplus_volume.h"
#include "fs/parser_adapter.h"

namespace vdrec::fs::hfsplus {

class HfsPlusAdapter final : public ParserAdapter<HfsPlusVolume> {
public:
    using ParserAdapter::ParserAdapter;

    std::vector<EntryRef> rootLevel() const override;
    bool isFolder(EntryRef entry) const override { return parser_.validEntry(entry) && parser_.entry(entry).folder; }
    EntryRef firstChild(EntryRef entry) const override;
    EntryRef nextSibling(EntryRef entry) const override;
    bool isDeleted(EntryRef, bool) const override { return false; }
    ListTexts listTexts(EntryRef entry) const override;
    SaveKind saveKind(EntryRef entry) const override;
    Rules rules() const override;
};

}  // namespace vdrec::fs::hfsplus
