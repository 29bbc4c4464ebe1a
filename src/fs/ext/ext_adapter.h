#pragma once
// What the results model asks of ext entries, answered from the parser's named entries.

#include "fs/ext/ext_volume.h"
#include "fs/parser_adapter.h"

namespace vdrec::fs::ext {

class ExtAdapter final : public ParserAdapter<ExtVolume> {
public:
    using ParserAdapter::ParserAdapter;

    std::vector<EntryRef> rootLevel() const override;
    bool isFolder(EntryRef entry) const override { return parser_.validEntry(entry) && parser_.entry(entry).isFolder(); }
    EntryRef firstChild(EntryRef entry) const override;
    EntryRef nextSibling(EntryRef entry) const override;
    bool isDeleted(EntryRef entry, bool) const override { return parser_.validEntry(entry) && parser_.entry(entry).removed; }
    ListTexts listTexts(EntryRef entry) const override;
    void fillListTexts(EntryRef entry, ListTexts& texts, bool withSize) const override {
        parser_.fillListTexts(entry, texts, withSize);
    }
    SaveKind saveKind(EntryRef entry) const override;
    Rules rules() const override;
};

}  // namespace vdrec::fs::ext
