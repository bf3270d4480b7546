#include "layerops/hash_table.h"

#include "pipeline/gis/runtime_error.h"

#include <array>
#include <limits>
#include <new>
#include <utility>

namespace plyvet::layerops {

namespace {

constexpr const char* kSource = "clsHashTable";
constexpr std::int32_t kInvalidProcedureCall = 5;
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kSubscriptOutOfRange = 9;
constexpr std::int32_t kKeyInUse = 457;
constexpr std::int32_t kTableError = 1001;

[[noreturn]] void raise(std::int32_t number, const char* description) {
    throw RuntimeError(number, kSource, description);
}

// Decodes one UTF-8 sequence at `i` (advancing it); an invalid byte reads as
// itself so that every byte of the key still reaches the hash.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    auto continuation = [&](std::size_t k) {
        return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0u) == 0x80u;
    };
    auto cont = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[i + k]) & 0x3Fu); };
    if (b0 >= 0xC2 && b0 <= 0xDF && continuation(1)) {
        const char32_t c = (static_cast<char32_t>(b0 & 0x1Fu) << 6) | cont(1);
        i += 2;
        return c;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF && continuation(1) && continuation(2)) {
        const char32_t c = (static_cast<char32_t>(b0 & 0x0Fu) << 12) | (cont(1) << 6) | cont(2);
        i += 3;
        return c;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && continuation(1) && continuation(2) && continuation(3)) {
        const char32_t c = (static_cast<char32_t>(b0 & 0x07u) << 18) | (cont(1) << 12) | (cont(2) << 6) | cont(3);
        i += 4;
        return c;
    }
    i += 1;
    return b0 < 0x80 ? char32_t{b0} : char32_t{0xFFFD};
}

// Code points of the bytes 0x80..0x9F of Windows-1252 (0 where undefined).
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

unsigned char toCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
        if (kCp1252High[k] != 0 && kCp1252High[k] == c) return static_cast<unsigned char>(0x80 + k);
    }
    return '?';
}

// Upper case of the letters the single-byte code page has.
char32_t upper(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    switch (c) {
        case 0xFF: return 0x178;   // ÿ
        case 0x161: return 0x160;  // š
        case 0x153: return 0x152;  // œ
        case 0x17E: return 0x17D;  // ž
        default: return c;
    }
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string upperUtf8(std::string_view key) {
    std::string out;
    out.reserve(key.size());
    for (std::size_t i = 0; i < key.size();) {
        const std::size_t start = i;
        const char32_t c = nextCodePoint(key, i);
        const char32_t u = upper(c);
        if (u == c) {
            out.append(key.substr(start, i - start));  // invalid bytes stay as they are
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string singleByte(std::string_view key) {
    std::string out;
    out.reserve(key.size());
    for (std::size_t i = 0; i < key.size();) {
        const std::size_t start = i;
        const char32_t c = nextCodePoint(key, i);
        // A byte that is no valid UTF-8 is taken as the single-byte character it already is.
        out += (c == 0xFFFD && i - start == 1) ? key[start] : static_cast<char>(toCp1252(c));
    }
    return out;
}

}  // namespace

clsHashTable::clsHashTable() { SetSize(kDefaultHashSize, kDefaultListSize, kDefaultChunkSize); }

std::int32_t clsHashTable::HashCode(std::string_view bytes) {
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        std::uint32_t word = 0;
        for (std::size_t k = 0; k < 4 && i + k < bytes.size(); ++k) {
            word |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + k])) << (8 * k);
        }
        code ^= word;
    }
    return static_cast<std::int32_t>(code);
}

void clsHashTable::SetSize(std::int32_t hashSize, std::int32_t listSize, std::int32_t chunkSize) {
    if (hashSize < 1) raise(kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
    const std::int32_t list = listSize > 0 ? listSize : listSize_;
    const std::int32_t chunk = chunkSize > 0 ? chunkSize : chunkSize_;

    // Built aside and swapped in, so a failed allocation leaves the table as
    // it was; the reserved capacity lets grow() below run without allocating.
    std::vector<std::int32_t> buckets;
    std::vector<Slot> slots;
    try {
        buckets.assign(static_cast<std::size_t>(hashSize), 0);
        slots.reserve(static_cast<std::size_t>(list) + 1);
    } catch (const std::bad_alloc&) {
        raise(kOutOfMemory, "Nicht genügend Speicher");
    }
    slots.emplace_back();
    buckets_.swap(buckets);
    slots_.swap(slots);
    listSize_ = list;
    chunkSize_ = chunk;
    count_ = 0;
    freeHead_ = 0;
    grow(list);
}

void clsHashTable::grow(std::int32_t n) {
    const auto first = static_cast<std::int64_t>(slots_.size());
    if (first + n - 1 > std::numeric_limits<std::int32_t>::max()) raise(kOutOfMemory, "Nicht genügend Speicher");
    try {
        slots_.resize(static_cast<std::size_t>(first + n));
    } catch (const std::bad_alloc&) {
        raise(kOutOfMemory, "Nicht genügend Speicher");
    }
    for (std::int64_t s = first; s < first + n - 1; ++s) {
        slots_[static_cast<std::size_t>(s)].next = static_cast<std::int32_t>(s + 1);
    }
    slots_.back().next = freeHead_;
    freeHead_ = static_cast<std::int32_t>(first);
}

std::int32_t clsHashTable::takeFreeSlot() {
    if (freeHead_ == 0) grow(chunkSize_);
    const std::int32_t slot = freeHead_;
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    freeHead_ = s.next;
    s.next = 0;
    ++count_;
    return slot;
}

std::string clsHashTable::normalized(std::string_view key) const {
    if (key.empty()) raise(kTableError, "Invalid key");
    return ignoreCase_ ? upperUtf8(key) : std::string(key);
}

std::int32_t clsHashTable::bucketOf(const std::string& key) const {
    const std::int32_t n = HashSize();
    std::int32_t bucket = HashCode(singleByte(key)) % n;
    if (bucket < 0) bucket += n;
    return bucket;
}

std::int32_t clsHashTable::find(const std::string& key, std::int32_t& previous) const {
    previous = 0;
    for (std::int32_t s = buckets_[static_cast<std::size_t>(bucketOf(key))]; s != 0;) {
        const Slot& slot = slots_[static_cast<std::size_t>(s)];
        if (slot.key == key) return s;
        previous = s;
        s = slot.next;
    }
    return 0;
}

std::int32_t clsHashTable::insert(std::string key, std::int32_t previous) {
    const std::int32_t bucket = bucketOf(key);
    const std::int32_t slot = takeFreeSlot();
    slots_[static_cast<std::size_t>(slot)].key = std::move(key);
    if (previous == 0) {
        buckets_[static_cast<std::size_t>(bucket)] = slot;
    } else {
        slots_[static_cast<std::size_t>(previous)].next = slot;
    }
    return slot;
}

void clsHashTable::Add(std::string_view key, HashValue value) {
    std::string k = normalized(key);
    std::int32_t previous = 0;
    if (find(k, previous) != 0) {
        raise(kKeyInUse, "Dieser Schlüssel ist bereits einem Element dieser Auflistung zugeordnet");
    }
    const std::int32_t slot = insert(std::move(k), previous);
    slots_[static_cast<std::size_t>(slot)].value = std::move(value);
}

bool clsHashTable::Exists(std::string_view key) const { return SlotOf(key) != 0; }

std::int32_t clsHashTable::SlotOf(std::string_view key) const {
    std::int32_t previous = 0;
    return find(normalized(key), previous);
}

std::string_view clsHashTable::StoredKey(std::int32_t slot) const {
    if (slot < 1 || slot > SlotCount()) return {};
    return slots_[static_cast<std::size_t>(slot)].key;
}

void clsHashTable::setIgnoreCase(bool value) {
    if (count_ != 0) raise(kTableError, "The Hash Table isn't empty");
    ignoreCase_ = value;
}

HashValue clsHashTable::Item(std::string_view key) const {
    const std::int32_t slot = SlotOf(key);
    return slot == 0 ? HashValue{} : slots_[static_cast<std::size_t>(slot)].value;
}

void clsHashTable::setItem(std::string_view key, HashValue value) {
    std::string k = normalized(key);
    std::int32_t previous = 0;
    std::int32_t slot = find(k, previous);
    if (slot == 0) slot = insert(std::move(k), previous);
    slots_[static_cast<std::size_t>(slot)].value = std::move(value);
}

void clsHashTable::Remove(std::string_view key) {
    const std::string k = normalized(key);
    std::int32_t previous = 0;
    const std::int32_t slot = find(k, previous);
    if (slot == 0) raise(kInvalidProcedureCall, "Ungültiger Prozeduraufruf oder ungültiges Argument");
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (previous == 0) {
        buckets_[static_cast<std::size_t>(bucketOf(k))] = s.next;
    } else {
        slots_[static_cast<std::size_t>(previous)].next = s.next;
    }
    // The key and value go now: a removed object reference is released at once.
    s.key.clear();
    s.value = HashValue{};
    s.next = freeHead_;
    freeHead_ = slot;
    --count_;
}

void clsHashTable::RemoveAll() { SetSize(HashSize(), listSize_, chunkSize_); }

}  // namespace plyvet::layerops
