#include "settings/option_pack.h"

#include <algorithm>

#include "base/case_fold.h"

namespace vzrm {

std::unique_ptr<COptItem> COptItem::Int(const std::string& name, std::int32_t value) {
    auto item = std::make_unique<COptItem>(OPT_INT, name);
    item->ints = {value};
    return item;
}

std::unique_ptr<COptItem> COptItem::Str(const std::string& name, const std::string& value) {
    auto item = std::make_unique<COptItem>(OPT_STR, name);
    item->strs = {value};
    return item;
}

std::unique_ptr<COptItem> COptItem::Bin(const std::string& name, std::vector<std::uint8_t> value) {
    auto item = std::make_unique<COptItem>(OPT_BIN, name);
    item->bins.push_back(std::move(value));
    return item;
}

std::unique_ptr<COptItem> COptItem::Pack(const std::string& name, std::unique_ptr<COptPack> pack) {
    auto item = std::make_unique<COptItem>(OPT_PACK, name);
    pack->ownerItem = item.get();
    item->packs.push_back(std::move(pack));
    return item;
}

std::uint32_t COptItem::Count() const {
    switch (type) {
        case OPT_INT:
            return static_cast<std::uint32_t>(ints.size());
        case OPT_STR:
            return static_cast<std::uint32_t>(strs.size());
        case OPT_BIN:
        case OPT_BINX:
            return static_cast<std::uint32_t>(bins.size());
        case OPT_PACK:
            return static_cast<std::uint32_t>(packs.size());
        default:
            return 0;
    }
}

std::unique_ptr<COptItem> COptItem::Clone() const {
    auto copy = std::make_unique<COptItem>(type, name);
    copy->ints = ints;
    copy->strs = strs;
    copy->bins = bins;
    for (const auto& pack : packs) {
        auto inner = pack->Clone();
        inner->ownerItem = copy.get();
        copy->packs.push_back(std::move(inner));
    }
    return copy;
}

bool COptPack::IgnoresCase() const {
    const COptPack* outermost = this;
    while (outermost->ownerItem != nullptr && outermost->ownerItem->owner != nullptr) {
        outermost = outermost->ownerItem->owner;
    }
    return outermost->ignoreCase;
}

bool COptPack::SameName(const std::string& a, const std::string& b) const {
    return IgnoresCase() ? EqualNoCase(a, b) : a == b;
}

COptItem* COptPack::Add(std::unique_ptr<COptItem> item) {
    Remove(item->name);
    item->owner = this;
    items_.push_back(std::move(item));
    return items_.back().get();
}

COptItem* COptPack::Find(const std::string& name) const {
    for (const auto& item : items_) {
        if (SameName(item->name, name)) {
            return item.get();
        }
    }
    return nullptr;
}

bool COptPack::Remove(const std::string& name) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (SameName((*it)->name, name)) {
            items_.erase(it);
            return true;
        }
    }
    return false;
}

std::unique_ptr<COptPack> COptPack::Clone() const {
    auto copy = std::make_unique<COptPack>();
    copy->binx = binx;
    copy->ignoreCase = ignoreCase;
    copy->unread = unread;
    for (const auto& item : items_) {
        auto inner = item->Clone();
        inner->owner = copy.get();
        copy->items_.push_back(std::move(inner));
    }
    return copy;
}

void COptPack::Sort() {
    auto before = [](const COptItem& a, const COptItem& b) {
        const bool aPack = a.type == OPT_PACK;
        const bool bPack = b.type == OPT_PACK;
        return aPack != bPack ? aPack : a.name < b.name;
    };
    // Adjacent swaps until a pass makes none: equal items keep their order.
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (std::size_t i = 1; i < items_.size(); ++i) {
            if (before(*items_[i], *items_[i - 1])) {
                std::swap(items_[i], items_[i - 1]);
                swapped = true;
            }
        }
    }
    for (const auto& item : items_) {
        for (const auto& pack : item->packs) {
            pack->Sort();
        }
    }
}

}  // namespace vzrm
