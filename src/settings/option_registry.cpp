#include "settings/option_registry.h"

#include <algorithm>

#include "base/case_fold.h"
#include "platform/error_codes.h"
#include "platform/services.h"

namespace vzrm {
namespace {

using namespace platform;

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// A key opened for the duration of a scope.
class OpenedKey {
  public:
    OpenedKey() = default;
    ~OpenedKey() {
        if (key != 0) {
            Registry().CloseKey(key);
        }
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY key = 0;
};

// Empty names and packs holding more than one pack cannot be stored.
bool Storable(const COptPack& pack) {
    for (const auto& item : pack.Items()) {
        if (item->name.empty() || (item->type == OPT_PACK && item->Count() >= 2)) {
            return false;
        }
        for (const auto& inner : item->packs) {
            if (!Storable(*inner)) {
                return false;
            }
        }
    }
    return true;
}

std::string RegistryName(const std::string& name) {
    return name == kUnnamedValue ? std::string() : name;
}

std::int32_t WriteItem(const COptItem& item, HKEY key, std::uint8_t flag);

bool Unread(const COptPack& pack, const std::string& name) {
    return std::any_of(pack.unread.begin(), pack.unread.end(),
                       [&](const std::string& skipped) { return EqualNoCase(skipped, name); });
}

// Empties a stored pack for writing it again, but for the subkeys its read
// skipped: what could not be read is not ours to replace, and deleting it
// would lose another program's (or a damaged) key without a word.
std::int32_t ClearStored(const COptPack& pack, HKEY key) {
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t index = 0;; ++index) {
        const std::int32_t error = Registry().EnumKey(key, index, name);
        if (error == kErrorNoMoreItems) {
            break;
        }
        if (error != kErrorSuccess) {
            return error;
        }
        if (!Unread(pack, name)) {
            names.push_back(name);
        }
    }
    for (const std::string& subkey : names) {
        if (const std::int32_t error = Registry().DeleteTree(key, subkey)) {
            return error;
        }
    }
    names.clear();
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t index = 0;; ++index) {
        const std::int32_t error = Registry().EnumValue(key, index, name, type, data);
        if (error == kErrorNoMoreItems) {
            break;
        }
        if (error != kErrorSuccess) {
            return error;
        }
        names.push_back(name);
    }
    for (const std::string& value : names) {
        if (const std::int32_t error = Registry().DeleteValue(key, value)) {
            return error;
        }
    }
    return kErrorSuccess;
}

std::int32_t WriteInto(const COptPack& pack, HKEY parent, const std::string& subkey) {
    OpenedKey opened;
    bool created = false;
    const std::uint32_t access =
        KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
    if (const std::int32_t error =
            Registry().CreateKey(parent, subkey, access, opened.key, &created)) {
        return error;
    }
    // Writing replaces the whole stored pack.
    if (const std::int32_t error = created ? kErrorSuccess : ClearStored(pack, opened.key)) {
        return error;
    }
    for (const auto& item : pack.Items()) {
        if (item->type == OPT_PACK && Unread(pack, item->name)) {
            return kErrorInvalidData;  // would replace a key it could not read
        }
        if (const std::int32_t error =
                WriteItem(*item, opened.key, static_cast<std::uint8_t>(pack.binx))) {
            return error;
        }
    }
    return kErrorSuccess;
}

// The value that stores `item`; false for a type that has none (a pack is a
// subkey, not a value).
bool StoredValue(const COptItem& item, std::uint8_t flag, std::uint32_t& type,
                 std::vector<std::uint8_t>& data) {
    switch (item.type) {
        case OPT_INT:
            if (item.Count() == 1) {
                const auto v = static_cast<std::uint32_t>(item.ints[0]);
                type = REG_DWORD;
                data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                        static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
                return true;
            }
            break;
        case OPT_STR: {
            std::string text;
            for (const std::string& s : item.strs) {
                text += s;
                text.push_back('\0');
            }
            if (item.Count() != 1) {
                text.push_back('\0');
            }
            type = item.Count() == 1 ? REG_SZ : REG_MULTI_SZ;
            data.assign(text.begin(), text.end());
            return true;
        }
        case OPT_BIN:
        case OPT_BINX:
            break;
        default:
            return false;
    }
    type = REG_BINARY;
    data = FrameItem(item, flag);
    return true;
}

std::int32_t WriteItem(const COptItem& item, HKEY key, std::uint8_t flag) {
    if (item.type == OPT_PACK) {
        return item.packs.empty() ? kErrorSuccess : WriteInto(*item.packs[0], key, item.name);
    }
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!StoredValue(item, flag, type, data)) {
        return kErrorInvalidData;
    }
    return Registry().SetValue(key, RegistryName(item.name), type, data.data(),
                               static_cast<std::uint32_t>(data.size()));
}

// Whether the key holds exactly what WriteInto would leave there: the same
// values in the same order, the same subkeys, nothing else.
bool HoldsAlready(const COptPack& pack, HKEY parent, const std::string& subkey) {
    OpenedKey opened;
    if (Registry().OpenKey(parent, subkey, KEY_READ, opened.key) != kErrorSuccess) {
        return false;
    }
    const auto flag = static_cast<std::uint8_t>(pack.binx);
    std::uint32_t values = 0;
    std::vector<std::string> packs;
    std::string name;
    std::uint32_t type = 0;
    std::uint32_t storedType = 0;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> stored;
    for (const auto& item : pack.Items()) {
        if (item->type == OPT_PACK) {
            if (item->packs.empty()) {
                continue;
            }
            if (!HoldsAlready(*item->packs[0], opened.key, item->name)) {
                return false;
            }
            packs.push_back(item->name);
            continue;
        }
        if (!StoredValue(*item, flag, type, data) ||
            Registry().EnumValue(opened.key, values++, name, storedType, stored) != kErrorSuccess ||
            name != RegistryName(item->name) || storedType != type || stored != data) {
            return false;
        }
    }
    if (Registry().EnumValue(opened.key, values, name, storedType, stored) != kErrorNoMoreItems) {
        return false;
    }
    std::uint32_t keys = 0;
    for (;; ++keys) {
        const std::int32_t error = Registry().EnumKey(opened.key, keys, name);
        if (error == kErrorNoMoreItems) {
            break;
        }
        // Names compare exactly: a write would give the key the pack's case.
        if (error == kErrorSuccess && Unread(pack, name)) {
            packs.push_back(name);
            continue;
        }
        if (error != kErrorSuccess || std::find(packs.begin(), packs.end(), name) == packs.end()) {
            return false;
        }
    }
    return keys == packs.size();
}

// One registry value as an item.
std::int32_t ItemOfValue(const std::string& name, std::uint32_t type,
                         const std::vector<std::uint8_t>& data, std::unique_ptr<COptItem>& item) {
    const std::string itemName = name.empty() ? std::string(kUnnamedValue) : name;
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            const std::string text(data.begin(), data.end());
            item = COptItem::Str(itemName, text.substr(0, text.find('\0')));
            return kErrorSuccess;
        }
        case REG_DWORD:
            if (data.size() == 4) {
                item = COptItem::Int(
                    itemName, static_cast<std::int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                                        static_cast<std::uint32_t>(data[3]) << 24));
                return kErrorSuccess;
            }
            break;
        case REG_MULTI_SZ: {
            item = std::make_unique<COptItem>(OPT_STR, itemName);
            std::string current;
            for (std::size_t i = 0; i < data.size(); ++i) {
                if (data[i] != 0) {
                    current.push_back(static_cast<char>(data[i]));
                    continue;
                }
                if (current.empty()) {
                    break;  // the list's closing zero
                }
                item->strs.push_back(current);
                current.clear();
            }
            if (!current.empty()) {
                item->strs.push_back(current);
            }
            return kErrorSuccess;
        }
        case REG_BINARY: {
            item = std::make_unique<COptItem>(OPT_BIN, itemName);
            const std::int32_t framed = ReadFrame(data, *item);
            if (framed >= 0) {
                return framed;
            }
            item = COptItem::Bin(itemName, data);
            return kErrorSuccess;
        }
        default:
            break;
    }
    // Any other value: one byte block of its type (4 bytes, little-endian) and its data.
    std::vector<std::uint8_t> raw = {
        static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(type >> 8),
        static_cast<std::uint8_t>(type >> 16), static_cast<std::uint8_t>(type >> 24)};
    raw.insert(raw.end(), data.begin(), data.end());
    item = COptItem::Bin(itemName, std::move(raw));
    return kErrorSuccess;
}

std::int32_t ReadFrom(COptPack& pack, HKEY parent, const std::string& subkey) {
    OpenedKey opened;
    if (const std::int32_t error = Registry().OpenKey(parent, subkey, KEY_READ, opened.key)) {
        return error;
    }
    std::string name;
    for (std::uint32_t index = 0;; ++index) {
        const std::int32_t error = Registry().EnumKey(opened.key, index, name);
        if (error == kErrorNoMoreItems) {
            break;
        }
        if (error != kErrorSuccess) {
            return error;
        }
        auto inner = std::make_unique<COptPack>();
        const std::int32_t read = ReadFrom(*inner, opened.key, name);
        if (read == kErrorFileNotFound || read == kErrorAccessDenied) {
            pack.unread.push_back(name);
            continue;
        }
        if (read != kErrorSuccess) {
            return read;
        }
        pack.Add(COptItem::Pack(name, std::move(inner)));
    }
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t index = 0;; ++index) {
        const std::int32_t error = Registry().EnumValue(opened.key, index, name, type, data);
        if (error == kErrorNoMoreItems) {
            break;
        }
        if (error != kErrorSuccess) {
            return error;
        }
        if (name.find('\\') != std::string::npos) {
            return kErrorFileNotFound;
        }
        std::unique_ptr<COptItem> item;
        if (const std::int32_t made = ItemOfValue(name, type, data, item)) {
            return made;
        }
        pack.Add(std::move(item));
    }
    return kErrorSuccess;
}

}  // namespace

std::vector<std::uint8_t> FrameItem(const COptItem& item, std::uint8_t flag) {
    std::vector<std::uint8_t> out;
    PutBe32(out, kFrameMagic);
    out.push_back(static_cast<std::uint8_t>(item.type));
    out.push_back(flag);
    PutBe32(out, item.Count());
    if (item.type == OPT_INT) {
        for (std::int32_t v : item.ints) {
            PutBe32(out, static_cast<std::uint32_t>(v));
        }
    } else {
        for (const auto& block : item.bins) {
            PutBe32(out, static_cast<std::uint32_t>(block.size()));
            out.insert(out.end(), block.begin(), block.end());
        }
    }
    return out;
}

std::int32_t ReadFrame(std::span<const std::uint8_t> bytes, COptItem& item) {
    if (bytes.size() < 10 || Be32(bytes.data()) != kFrameMagic) {
        return -1;
    }
    const std::uint8_t type = bytes[4];
    if (type != OPT_INT && type != OPT_BIN && type != OPT_BINX) {
        return kErrorInvalidData;
    }
    const std::uint32_t count = Be32(bytes.data() + 6);
    std::size_t at = 10;
    std::vector<std::int32_t> ints;
    std::vector<std::vector<std::uint8_t>> bins;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (type == OPT_INT) {
            if (bytes.size() - at < 4) {
                return -1;
            }
            ints.push_back(static_cast<std::int32_t>(Be32(bytes.data() + at)));
            at += 4;
        } else {
            if (bytes.size() - at < 4) {
                return -1;
            }
            const std::uint32_t size = Be32(bytes.data() + at);
            at += 4;
            if (bytes.size() - at < size) {
                return -1;
            }
            bins.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
            at += size;
        }
    }
    if (at != bytes.size()) {
        return -1;
    }
    item.type = type;
    item.ints = std::move(ints);
    item.bins = std::move(bins);
    return kErrorSuccess;
}

std::int32_t WritePack(const COptPack& pack, HKEY parent, const std::string& subkey) {
    if (!Storable(pack)) {
        return kErrorInvalidData;
    }
    if (parent == 0 || subkey.empty()) {
        return kErrorInvalidParameter;
    }
    return Registry().Transaction(parent, [&] {
        // Writing what the store holds already would change nothing and cost
        // it a sync to the disk: every report run writes its options.
        if (HoldsAlready(pack, parent, subkey)) {
            return kErrorSuccess;
        }
        return WriteInto(pack, parent, subkey);
    });
}

std::int32_t ReadPack(COptPack& pack, HKEY parent, const std::string& subkey) {
    if (parent == 0 || subkey.empty()) {
        return kErrorInvalidParameter;
    }
    const std::int32_t error = ReadFrom(pack, parent, subkey);
    if (error == kErrorSuccess) {
        pack.ignoreCase = true;
    }
    if (error == kErrorFileNotFound) {
        // A key that is there but reads as absent (a value name with a
        // backslash) must not be taken for a missing one and written over.
        OpenedKey opened;
        if (Registry().OpenKey(parent, subkey, KEY_READ, opened.key) == kErrorSuccess) {
            return kErrorInvalidData;
        }
    }
    return error;
}

bool ReadWhole(const COptPack& pack) {
    return pack.unread.empty() &&
           std::all_of(pack.Items().begin(), pack.Items().end(), [](const auto& item) {
               return std::all_of(item->packs.begin(), item->packs.end(),
                                  [](const auto& inner) { return ReadWhole(*inner); });
           });
}

}  // namespace vzrm
