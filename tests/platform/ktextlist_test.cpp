// The base library's text list: lines cut to the longest line without
// splitting a double-byte pair, a fixed capacity, removal from anywhere; and
// a random run of operations checked against a plain model.
#include <ktextlist.h>

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

namespace {

TEST(TextList, LongLinesAreCutBetweenCharacters)
{
    // "中" is D6 D0 in code page 936; "a" one byte.
    struct Case {
        int bytes;
        std::string in, out;
    };
    const Case cases[] = {
        {4, "abc", "abc"},
        {4, "abcd", "abcd"},
        {4, "abcdef", "abcd"},
        {4, "\xD6\xD0\xD6\xD0", "\xD6\xD0\xD6\xD0"},
        {3, "\xD6\xD0\xD6\xD0", "\xD6\xD0"},         // the second pair does not fit
        {3, "a\xD6\xD0\xD6\xD0", "a\xD6\xD0"},
        {2, "a\xD6\xD0", "a"},                        // never half a pair
        {1, "\xD6\xD0", ""},
        {4, "ab\xD6", "ab\xD6"},                      // a lone lead byte at the end stays
        {3, "\xD6" "a" "bc", "\xD6" "ab"},            // a lead byte takes the next byte with it
        {5, "\x80\x81\x40\xFF", "\x80\x81\x40\xFF"},  // 0x80 and 0xFF lead nothing
        {8, "", ""},
    };
    for (const Case& c : cases) {
        KTextList list(2, c.bytes);
        ASSERT_EQ(list.Add(c.in.c_str()), 0);
        EXPECT_EQ(std::string(list.GetData(0)), c.out) << c.bytes << " '" << c.in << "'";
        EXPECT_EQ(list.GetLineBytes(), c.bytes);
    }
}

TEST(TextList, FullListRefusesUntilLinesGo)
{
    KTextList list(3, 8);
    EXPECT_EQ(list.GetSize(), 3);
    EXPECT_FALSE(list.IsFull());
    EXPECT_EQ(list.Add("one"), 0);
    EXPECT_EQ(list.Add("two"), 1);
    EXPECT_EQ(list.Add("three"), 2);
    EXPECT_TRUE(list.IsFull());
    EXPECT_EQ(list.Add("four"), -1);
    EXPECT_EQ(list.GetUsed(), 3);
    EXPECT_EQ(list.Remove(0, 1), 1);
    EXPECT_EQ(list.Add("four"), 2);
    EXPECT_STREQ(list.GetData(0), "two");
    EXPECT_STREQ(list.GetData(2), "four");
    EXPECT_EQ(list.GetData(3), nullptr);
    EXPECT_EQ(list.GetData(-1), nullptr);
    EXPECT_EQ(list.Add(nullptr), -1);
    list.Clear();
    EXPECT_EQ(list.GetUsed(), 0);
    EXPECT_EQ(list.GetData(0), nullptr);
}

TEST(TextList, ALineOfItsOwnCanComeBack)
{
    // The oldest line, dropped, is added again from where it lay: its slot
    // is the one the new line takes.
    KTextList list(2, 8);
    list.Add("first");
    list.Add("second");
    const char* oldest = list.GetData(0);
    list.Remove(0, 1);
    EXPECT_EQ(list.Add(oldest), 1);
    EXPECT_STREQ(list.GetData(1), "first");
}

TEST(TextList, ListsThatHoldNothingAreFull)
{
    // Empty or negative sizes, and a block far past what a list may take.
    const int sizes[][2] = {{0, 4}, {-1, 4}, {4, 0}, {4, -5}, {1 << 30, 1 << 30}};
    for (const auto& s : sizes) {
        KTextList list(s[0], s[1]);
        EXPECT_EQ(list.GetSize(), 0);
        EXPECT_TRUE(list.IsFull());
        EXPECT_EQ(list.Add("x"), -1);
        EXPECT_EQ(list.Remove(0, 1), 0);
        EXPECT_EQ(list.GetData(0), nullptr);
    }
}

// Random adds, deletions, removals and clears against a deque of strings.
TEST(TextList, AgreesWithAPlainModel)
{
    std::mt19937 rng(17);
    for (int round = 0; round < 40; round++) {
        const int lines = 1 + int(rng() % 12), bytes = 1 + int(rng() % 6);
        KTextList list(lines, bytes);
        std::deque<std::string> model;
        for (int step = 0; step < 400; step++) {
            const unsigned op = rng() % 10;
            if (op < 6) {
                std::string s;
                for (unsigned n = rng() % 9; n > 0; n--)
                    s += "ab\xD6\xD0"[rng() % 4];
                const int got = list.Add(s.c_str());
                if (int(model.size()) == lines) {
                    EXPECT_EQ(got, -1);
                } else {
                    EXPECT_EQ(got, int(model.size()));
                    model.push_back(s.substr(0, KTextList::CutLength(s.c_str(), size_t(bytes))));
                }
            } else if (op < 8) {
                const int first = int(rng() % 14) - 1, count = int(rng() % 5);
                int removed = 0;
                if (first >= 0 && first < int(model.size()) && count > 0) {
                    removed = std::min(count, int(model.size()) - first);
                    model.erase(model.begin() + first, model.begin() + first + removed);
                }
                EXPECT_EQ(list.Remove(first, count), removed);
            } else if (op < 9 && !model.empty()) {
                const std::string victim = model[rng() % model.size()];
                for (size_t i = 0; i < model.size(); i++)
                    if (model[i] == victim) {
                        model.erase(model.begin() + long(i));
                        break;
                    }
                EXPECT_TRUE(list.Del(victim.c_str()));
            } else if (rng() % 8 == 0) {
                list.Clear();
                model.clear();
            }
            ASSERT_EQ(list.GetUsed(), int(model.size()));
            EXPECT_EQ(list.IsFull(), int(model.size()) == lines);
            for (size_t i = 0; i < model.size(); i++)
                ASSERT_EQ(std::string(list.GetData(int(i))), model[i]) << round << "/" << step;
        }
    }
    KTextList list(2, 4);
    EXPECT_FALSE(list.Del("none"));
    EXPECT_FALSE(list.Del(nullptr));
}

}  // namespace
