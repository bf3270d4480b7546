#include "layerops/hash_table.h"

#include "pipeline/gis/runtime_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>

namespace plyvet::layerops {
namespace {

// Runs `op` and returns the number and text of the error it raises (0, "" when none).
std::pair<std::int32_t, std::string> raised(const std::function<void()>& op) {
    try {
        op();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.source(), "clsHashTable");
        return {e.number(), e.description()};
    }
    return {0, ""};
}

std::string key(int i) { return "Key" + std::to_string(i); }

TEST(HashTable, StoresReplacesAndRemoves) {
    clsHashTable t;
    t.Add("eins", std::int64_t{1});
    t.Add("zwei", std::string("2"));
    EXPECT_EQ(t.Count(), 2);
    EXPECT_TRUE(t.Exists("eins"));
    EXPECT_FALSE(t.Exists("EINS"));
    EXPECT_EQ(std::get<std::int64_t>(t.Item("eins")), 1);
    EXPECT_EQ(std::get<std::string>(t.Item("zwei")), "2");

    t.setItem("eins", 1.5);
    EXPECT_EQ(t.Count(), 2);
    EXPECT_EQ(std::get<double>(t.Item("eins")), 1.5);

    t.Remove("eins");
    EXPECT_EQ(t.Count(), 1);
    EXPECT_FALSE(t.Exists("eins"));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(t.Item("eins")));
}

TEST(HashTable, ItemOfAbsentKeyIsEmptyAndWriteAddsIt) {
    clsHashTable t;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(t.Item("fehlt")));
    EXPECT_EQ(t.Count(), 0);  // reading adds nothing
    t.setItem("fehlt", true);
    EXPECT_EQ(t.Count(), 1);
    EXPECT_TRUE(std::get<bool>(t.Item("fehlt")));
}

TEST(HashTable, ErrorsLeaveTheTableUnchanged) {
    clsHashTable t;
    t.Add("a", std::int64_t{7});
    struct Case {
        const char* what;
        std::function<void()> op;
        std::int32_t number;
        std::string text;
    };
    const Case cases[] = {
        {"Add of an empty key", [&] { t.Add("", std::int64_t{1}); }, 1001, "Invalid key"},
        {"Exists of an empty key", [&] { (void)t.Exists(""); }, 1001, "Invalid key"},
        {"Item of an empty key", [&] { (void)t.Item(""); }, 1001, "Invalid key"},
        {"setItem of an empty key", [&] { t.setItem("", 1.0); }, 1001, "Invalid key"},
        {"Remove of an empty key", [&] { t.Remove(""); }, 1001, "Invalid key"},
        {"Add of a present key", [&] { t.Add("a", std::int64_t{8}); }, 457,
         "Dieser Schlüssel ist bereits einem Element dieser Auflistung zugeordnet"},
        {"Remove of an absent key", [&] { t.Remove("b"); }, 5, "Ungültiger Prozeduraufruf oder ungültiges Argument"},
        {"IgnoreCase while not empty", [&] { t.setIgnoreCase(true); }, 1001, "The Hash Table isn't empty"},
        {"SetSize with no buckets", [&] { t.SetSize(0); }, 9, "Index außerhalb des gültigen Bereichs"},
        {"SetSize with negative buckets", [&] { t.SetSize(-5, 10, 10); }, 9, "Index außerhalb des gültigen Bereichs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [number, text] = raised(c.op);
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(t.Count(), 1);
        EXPECT_EQ(std::get<std::int64_t>(t.Item("a")), 7);
        EXPECT_FALSE(t.IgnoreCase());
        EXPECT_EQ(t.HashSize(), clsHashTable::kDefaultHashSize);
    }
}

TEST(HashTable, IgnoreCaseMakesOneKeyStoredInUpperCase) {
    clsHashTable t;
    t.setIgnoreCase(true);
    t.Add("Abc", std::int64_t{1});
    EXPECT_TRUE(t.Exists("ABC"));
    EXPECT_TRUE(t.Exists("abc"));
    EXPECT_EQ(raised([&] { t.Add("ABC", std::int64_t{2}); }).first, 457);
    EXPECT_EQ(t.StoredKey(t.SlotOf("abc")), "ABC");
    // Letters of the single-byte code page beyond ASCII.
    t.setItem("straße_äöü_š_ÿ", 1.0);
    EXPECT_EQ(t.StoredKey(t.SlotOf("STRASSE")), "");
    EXPECT_EQ(t.StoredKey(t.SlotOf("Straße_ÄÖÜ_Š_Ÿ")), "STRAßE_ÄÖÜ_Š_Ÿ");
    EXPECT_EQ(t.Count(), 2);

    t.RemoveAll();
    t.setIgnoreCase(false);  // allowed again once empty
    t.Add("Abc", std::int64_t{1});
    EXPECT_FALSE(t.Exists("ABC"));
}

TEST(HashTable, ObjectValuesAreTheSameReference) {
    clsHashTable t;
    auto object = std::make_shared<std::string>("Objekt");
    t.setItem("o", HashObject(object));
    const HashValue v = t.Item("o");
    ASSERT_TRUE(std::holds_alternative<HashObject>(v));
    EXPECT_EQ(std::get<HashObject>(v).get(), object.get());
    EXPECT_EQ(object.use_count(), 3);  // ours, the table's, v's
    t.Remove("o");
    EXPECT_EQ(object.use_count(), 2);  // the table let go of it
}

TEST(HashTable, HashCodeXorsLittleEndianWords) {
    EXPECT_EQ(clsHashTable::HashCode("abcd"), 0x64636261);
    EXPECT_EQ(clsHashTable::HashCode("abcde"), 0x64636261 ^ 0x65);
    EXPECT_EQ(clsHashTable::HashCode("abcdefgh"), 0x64636261 ^ 0x68676665);
    EXPECT_EQ(clsHashTable::HashCode(std::string("ab\xFF\xFF", 4)), static_cast<std::int32_t>(0xFFFF6261u));
}

TEST(HashTable, NegativeHashCodesLandInValidBuckets) {
    // "ÿ" is the byte 0xFF in the single-byte code page: at positions 4, 8
    // and 12 it sets the sign bit of the word and so of the hash code.
    const std::string keys[] = {"abcÿ", "abcÿdefÿ", "abcÿdefÿghiÿ", "xyzÿ"};
    for (const std::int32_t buckets : {1, 7, 1024}) {
        clsHashTable t;
        t.SetSize(buckets);
        for (const auto& k : keys) t.Add(k, k);
        for (const auto& k : keys) EXPECT_EQ(std::get<std::string>(t.Item(k)), k) << k << " with " << buckets;
        t.Remove(keys[1]);
        EXPECT_FALSE(t.Exists(keys[1]));
        EXPECT_TRUE(t.Exists(keys[2]));
    }
    EXPECT_LT(clsHashTable::HashCode("abc\xFF"), 0);
}

TEST(HashTable, GrowsInChunksKeepingEveryEntry) {
    clsHashTable t;
    EXPECT_EQ(t.SlotCount(), 2048);
    for (int i = 0; i < 2048; ++i) t.Add(key(i), std::int64_t{i});
    EXPECT_EQ(t.SlotCount(), 2048);
    t.Add(key(2048), std::int64_t{2048});
    EXPECT_EQ(t.SlotCount(), 3072);
    for (int i = 2049; i <= 3072; ++i) t.Add(key(i), std::int64_t{i});
    EXPECT_EQ(t.SlotCount(), 4096);
    EXPECT_EQ(t.Count(), 3073);
    for (int i = 0; i <= 3072; ++i) ASSERT_EQ(std::get<std::int64_t>(t.Item(key(i))), i) << i;
}

TEST(HashTable, SetSizeKeepsSizesNotGivenAndRemoveAllKeepsAll) {
    clsHashTable t;
    t.Add("weg", std::int64_t{1});
    t.SetSize(16, 4, 2);
    EXPECT_EQ(t.Count(), 0);
    EXPECT_FALSE(t.Exists("weg"));
    EXPECT_EQ(t.HashSize(), 16);
    EXPECT_EQ(t.SlotCount(), 4);
    for (int i = 0; i < 5; ++i) t.Add(key(i), std::int64_t{i});
    EXPECT_EQ(t.SlotCount(), 6);  // one growth step of 2

    t.RemoveAll();
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.HashSize(), 16);
    EXPECT_EQ(t.SlotCount(), 4);

    t.SetSize(8, 0, -1);  // list and chunk sizes stay 4 and 2
    EXPECT_EQ(t.HashSize(), 8);
    EXPECT_EQ(t.SlotCount(), 4);
    for (int i = 0; i < 5; ++i) t.Add(key(i), std::int64_t{i});
    EXPECT_EQ(t.SlotCount(), 6);
}

TEST(HashTable, RemovedSlotIsReusedFirst) {
    clsHashTable t;
    for (int i = 0; i < 10; ++i) t.Add(key(i), std::int64_t{i});
    const std::int32_t slot = t.SlotOf(key(4));
    t.Remove(key(4));
    t.Add("neu", std::int64_t{99});
    EXPECT_EQ(t.SlotOf("neu"), slot);
    EXPECT_EQ(t.Count(), 10);
}

TEST(HashTable, RemovalAnywhereInOneChain) {
    // One bucket: every key is in the same chain, so removal at its head,
    // middle and end all get exercised.
    for (const int victim : {0, 2, 4}) {
        clsHashTable t;
        t.SetSize(1, 8, 4);
        for (int i = 0; i < 5; ++i) t.Add(key(i), std::int64_t{i});
        t.Remove(key(victim));
        for (int i = 0; i < 5; ++i) EXPECT_EQ(t.Exists(key(i)), i != victim) << victim << " " << i;
        t.Add(key(victim), std::int64_t{victim + 10});  // re-insertion goes to the end of the chain
        EXPECT_EQ(std::get<std::int64_t>(t.Item(key(victim))), victim + 10);
        EXPECT_EQ(t.Count(), 5);
    }
}

TEST(HashTable, AgreesWithAnOrderedMapUnderRandomOperations) {
    std::mt19937 random(42);
    clsHashTable t;
    t.SetSize(13, 8, 8);  // few buckets, small steps: long chains and many growths
    std::map<std::string, std::int64_t> oracle;
    for (int step = 0; step < 20000; ++step) {
        const std::string k = key(static_cast<int>(random() % 600));
        switch (random() % 4) {
            case 0:
            case 1:
                t.setItem(k, std::int64_t{step});
                oracle[k] = step;
                break;
            case 2:
                if (oracle.erase(k) == 1) {
                    t.Remove(k);
                } else {
                    EXPECT_EQ(raised([&] { t.Remove(k); }).first, 5);
                }
                break;
            default: {
                const auto it = oracle.find(k);
                ASSERT_EQ(t.Exists(k), it != oracle.end()) << k;
                if (it != oracle.end()) {
                    ASSERT_EQ(std::get<std::int64_t>(t.Item(k)), it->second);
                }
            }
        }
        ASSERT_EQ(t.Count(), static_cast<std::int32_t>(oracle.size()));
    }
    // Every slot not holding an entry is free: the array grew only when it had to.
    EXPECT_LE(t.SlotCount(), 600 + 8);
}

}  // namespace
}  // namespace plyvet::layerops
