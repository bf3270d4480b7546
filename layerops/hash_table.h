#pragma once
// clsHashTable: a string-keyed table with chained buckets over one
// contiguous slot array.
//
// Entries live in slots addressed by 32-bit indices; slot 0 is reserved so
// that index 0 means "none" in the bucket array, in every chain and in the
// free list. A free slot is taken from the head of the free list; when the
// list is empty the slot array grows by the growth step, keeping every
// entry where it is. Removed slots go back to the head of the free list, so
// the next insertion reuses them first.
//
// Invariants: every slot from 1 on is in exactly one bucket chain or in the
// free list; Count() is the number of slots in chains; keys within a chain
// are distinct; with IgnoreCase() the stored keys are upper case.
//
// Keys are UTF-8. The bucket comes from the key's single-byte form
// (Windows-1252): its bytes read as little-endian 32-bit words, zero padded,
// combined by exclusive or. Keys are compared in UTF-8, byte for byte, so two
// keys that share a single-byte form ("?" for a character the code page
// lacks) only share a bucket, never an entry. Upper-casing covers ASCII and
// the letters of the single-byte code page (ä to Ä, š to Š, ÿ to Ÿ, ...).
//
// Errors are RuntimeErrors with source "clsHashTable": 1001 "Invalid key"
// for an empty key, 1001 "The Hash Table isn't empty" for a change of
// IgnoreCase while entries are stored, 457 for Add of a key already present,
// 5 for Remove of an absent key, 9 for a bucket count below 1, 7 when the
// slot array would outgrow 32-bit indices. A failed operation leaves the
// table as it was.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace plyvet::layerops {

// A stored value: empty, a plain value (kept as a copy) or an object
// reference (kept as the same reference, shared with the caller).
using HashObject = std::shared_ptr<void>;
using HashValue = std::variant<std::monostate, bool, std::int64_t, double, std::string, HashObject>;

class clsHashTable {
public:
    static constexpr std::int32_t kDefaultHashSize = 1024;
    static constexpr std::int32_t kDefaultListSize = 2048;
    static constexpr std::int32_t kDefaultChunkSize = 1024;

    clsHashTable();

    // Stores `value` under `key`; raises 457 when the key is present.
    void Add(std::string_view key, HashValue value);

    std::int32_t Count() const { return count_; }

    bool Exists(std::string_view key) const;

    bool IgnoreCase() const { return ignoreCase_; }
    // Raises 1001 "The Hash Table isn't empty" unless Count() is 0.
    void setIgnoreCase(bool value);

    // The value under `key`; the empty value for an absent key.
    HashValue Item(std::string_view key) const;
    // Stores under `key`, adding it when absent and replacing the value when present.
    void setItem(std::string_view key, HashValue value);

    // Raises 5 when the key is absent.
    void Remove(std::string_view key);

    // Empties the table, keeping the three sizes.
    void RemoveAll();

    // Re-creates the table empty with `hashSize` buckets, `listSize` free
    // slots and `chunkSize` as growth step. A list or chunk size of 0 or less
    // keeps the current one. A hash size below 1 raises 9 and changes nothing.
    void SetSize(std::int32_t hashSize, std::int32_t listSize = 0, std::int32_t chunkSize = 0);

    // Hash code of a key's single-byte bytes (may be negative).
    static std::int32_t HashCode(std::string_view singleByteKey);

    // --- for inspection ------------------------------------------------------
    std::int32_t HashSize() const { return static_cast<std::int32_t>(buckets_.size()); }
    // Slots allocated, the reserved slot 0 not counted.
    std::int32_t SlotCount() const { return static_cast<std::int32_t>(slots_.size()) - 1; }
    // The slot of `key`, 0 when absent.
    std::int32_t SlotOf(std::string_view key) const;
    // The key stored in slot `slot` (empty for a free slot or an index out of range).
    std::string_view StoredKey(std::int32_t slot) const;

private:
    struct Slot {
        std::string key;
        HashValue value;
        std::int32_t next = 0;
    };

    // The key as stored and compared: checked for emptiness, upper-cased with IgnoreCase().
    std::string normalized(std::string_view key) const;
    std::int32_t bucketOf(const std::string& key) const;
    // Walks the chain of `key`; 0 when absent. `previous` gets the slot before it (0 for the bucket).
    std::int32_t find(const std::string& key, std::int32_t& previous) const;
    // Appends a new entry for `key` at the end of its chain and returns its slot.
    std::int32_t insert(std::string key, std::int32_t previous);
    std::int32_t takeFreeSlot();
    void grow(std::int32_t n);

    std::vector<std::int32_t> buckets_;
    std::vector<Slot> slots_;
    std::int32_t freeHead_ = 0;
    std::int32_t listSize_ = kDefaultListSize;
    std::int32_t chunkSize_ = kDefaultChunkSize;
    std::int32_t count_ = 0;
    bool ignoreCase_ = false;
};

}  // namespace plyvet::layerops
