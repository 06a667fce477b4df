// The option pack: a typed tree of named items (numbers, texts, byte blocks
// and packs inside packs), every item an array of values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vzrm {

enum OPT_TYPE : std::int32_t {
    OPT_NONE = -1,
    OPT_PACK = 0,
    OPT_INT = 1,
    OPT_STR = 2,
    OPT_BIN = 3,
    OPT_BINX = 5,
};

// The name that stands for a registry key's default (unnamed) value.
inline constexpr const char kUnnamedValue[] = "<UNNAMED_VALUE>";

class COptPack;

class COptItem {
  public:
    COptItem(std::int32_t type, std::string name) : type(type), name(std::move(name)) {}
    static std::unique_ptr<COptItem> Int(const std::string& name, std::int32_t value);
    static std::unique_ptr<COptItem> Str(const std::string& name, const std::string& value);
    static std::unique_ptr<COptItem> Bin(const std::string& name, std::vector<std::uint8_t> value);
    static std::unique_ptr<COptItem> Pack(const std::string& name, std::unique_ptr<COptPack> pack);

    std::int32_t type;
    std::string name;
    // The values of the item's type; the others stay empty.
    std::vector<std::int32_t> ints;
    std::vector<std::string> strs;
    std::vector<std::vector<std::uint8_t>> bins;  // OPT_BIN and OPT_BINX
    std::vector<std::unique_ptr<COptPack>> packs;
    COptPack* owner = nullptr;

    std::uint32_t Count() const;
    std::unique_ptr<COptItem> Clone() const;
};

class COptPack {
  public:
    // Replaces an item of the same name; the new item goes to the end.
    COptItem* Add(std::unique_ptr<COptItem> item);
    COptItem* Find(const std::string& name) const;
    bool Remove(const std::string& name);
    std::unique_ptr<COptPack> Clone() const;
    // Packs first, then the rest; names in ascending byte order; recursively.
    void Sort();
    void Clear() {
        items_.clear();
        unread.clear();
    }

    const std::vector<std::unique_ptr<COptItem>>& Items() const { return items_; }
    std::size_t Count() const { return items_.size(); }

    COptItem* ownerItem = nullptr;
    std::uint32_t binx = 0;
    // Names compare without regard to case in a pack read from the registry;
    // the mode of the outermost pack counts.
    bool ignoreCase = false;
    bool IgnoresCase() const;
    // Subkeys its read skipped (gone or refused while read): a write keeps
    // them as they are.
    std::vector<std::string> unread;

  private:
    bool SameName(const std::string& a, const std::string& b) const;

    std::vector<std::unique_ptr<COptItem>> items_;
};

}  // namespace vzrm
