// The record rules on plain arrays, with no window.
#include "support/TestSupport.h"

#include <stdlib.h>

#include <set>

#include "optiontree/OptionModel.h"

namespace {

OptionItem Record(int level, unsigned int kind, INT_PTR value = 0)
{
    OptionItem item = {};
    item.label = L"caption";
    item.level = level;
    item.kind = kind;
    item.value = value;
    return item;
}

std::string Visibility(const OptionItem* items, int count)
{
    std::string flags;
    for (int i = 0; i < count; ++i)
        flags += items[i].visible ? '1' : '0';
    return flags;
}

// Counts the control's Text allocations and remembers which are alive, so
// that a free of anything else (the caller's strings) shows up.
struct CountedHeap {
    static int allocations;
    static int releases;
    static std::set<void*> alive;
    static bool foreignRelease;

    static void* Allocate(size_t count, size_t size)
    {
        void* block = calloc(count, size);
        ++allocations;
        alive.insert(block);
        return block;
    }
    static void Release(void* block)
    {
        ++releases;
        if (!alive.erase(block))
            foreignRelease = true;
        else
            free(block);
    }
};
int CountedHeap::allocations;
int CountedHeap::releases;
std::set<void*> CountedHeap::alive;
bool CountedHeap::foreignRelease;

class TextStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = TextHeap;
        TextHeap = {CountedHeap::Allocate, CountedHeap::Release};
        CountedHeap::allocations = CountedHeap::releases = 0;
        CountedHeap::alive.clear();
        CountedHeap::foreignRelease = false;
    }
    void TearDown() override
    {
        TextHeap = saved_;
        for (void* block : CountedHeap::alive)
            free(block);
    }

private:
    OptionTextHeap saved_;
};

// What the editor's commit does with the text it reads back: a buffer from
// AllocateText, handed over to StoreTextBuffer.
bool StoreText(OptionItem& item, const WCHAR* text)
{
    const int length = lstrlenW(text);
    WCHAR* buffer = AllocateText(length);
    if (!buffer)
        return false;
    lstrcpynW(buffer, text, length + 1);
    return StoreTextBuffer(item, buffer);
}

}  // namespace

TEST(InitialState, OverwritesVisibleAndGroupFlagsByLevelKeepsChanged)
{
    OptionItem items[] = {
        Record(0, Group, 0x1200),     // top Group: unfolded, high bits kept
        Record(1, Group, 0x3401),     // one down: folded
        Record(2, Check, 0x5601),     // deeper: hidden, value untouched
        Record(1, Number, 77),
        Record(3, Text),
        Record(-1, Group, 0),         // negative level counts as top
    };
    for (OptionItem& item : items) {
        item.visible = 7;
        item.changed = 1;
    }
    items[2].visible = 1;
    items[3].visible = 0;
    ApplyInitialState(items, 6);
    EXPECT_EQ("110101", Visibility(items, 6));
    EXPECT_EQ(0x1201, items[0].value);
    EXPECT_EQ(0x3400, items[1].value);
    EXPECT_EQ(0x5601, items[2].value);
    EXPECT_EQ(77, items[3].value);
    EXPECT_EQ(1, items[5].value);
    for (const OptionItem& item : items)
        EXPECT_EQ(1, item.changed);
    ApplyInitialState(nullptr, 0);
}

TEST(Folding, CollapsingFoldsSubGroupsAndUnfoldingShowsOnlyDirectRows)
{
    OptionItem items[] = {
        Record(0, Group),   // 0
        Record(1, Check),   // 1
        Record(1, Group),   // 2 sub-Group
        Record(2, Number),  // 3
        Record(2, Group),   // 4 sub-sub-Group
        Record(3, Text),    // 5
        Record(1, Check),   // 6
        Record(0, Check),   // 7 after the Group's run
    };
    ApplyInitialState(items, 8);
    EXPECT_EQ("11100011", Visibility(items, 8));

    ToggleGroup(items, 8, 2);  // unfold the sub-Group
    EXPECT_TRUE(IsExpanded(items[2]));
    EXPECT_EQ("11111011", Visibility(items, 8));
    ToggleGroup(items, 8, 4);
    EXPECT_EQ("11111111", Visibility(items, 8));

    ToggleGroup(items, 8, 0);  // fold the outer Group
    EXPECT_FALSE(IsExpanded(items[0]));
    EXPECT_FALSE(IsExpanded(items[2]));
    EXPECT_FALSE(IsExpanded(items[4]));
    EXPECT_EQ("10000001", Visibility(items, 8));

    ToggleGroup(items, 8, 0);  // unfold: only its level 1 rows come back
    EXPECT_EQ("11100011", Visibility(items, 8));
    ToggleGroup(items, 8, 2);  // its own sub-Group was folded with it
    EXPECT_EQ("11111011", Visibility(items, 8));
    for (const OptionItem& item : items)
        EXPECT_EQ(0, item.changed);
}

TEST(Folding, GroupAsLastRecordChangesOnlyItsFlag)
{
    OptionItem items[] = {Record(0, Check, 1), Record(1, Group, 0x700)};
    ApplyInitialState(items, 2);
    ToggleGroup(items, 2, 1);
    EXPECT_EQ(0x701, items[1].value);
    EXPECT_EQ(1, items[0].value);
    EXPECT_EQ("11", Visibility(items, 2));
    ToggleGroup(items, 2, 1);
    EXPECT_EQ(0x700, items[1].value);
    EXPECT_EQ("11", Visibility(items, 2));
    // Indexes outside the array and rows that are not Groups are left alone.
    ToggleGroup(items, 2, 2);
    ToggleGroup(items, 2, -1);
    ToggleGroup(items, 2, 0);
    EXPECT_EQ(1, items[0].value);
}

TEST(Folding, ExpandedFlagIsTheLowByteOnly)
{
    OptionItem group = Record(1, Group, 0x100);  // high bits set, low byte 0
    OptionItem items[] = {group};
    EXPECT_FALSE(IsExpanded(items[0]));
    ToggleGroup(items, 1, 0);
    EXPECT_EQ(0x101, items[0].value);
    items[0].value = 0x1FE;  // any non-zero low byte means unfolded
    ToggleGroup(items, 1, 0);
    EXPECT_EQ(0x100, items[0].value);
}

TEST(CheckToggle, TwiceRestoresTheFlagAndStaysChanged)
{
    OptionItem item = Record(0, Check, 0xAB00);
    ToggleCheck(item);
    EXPECT_EQ(0xAB01, item.value);
    EXPECT_EQ(1, item.changed);
    ToggleCheck(item);
    EXPECT_EQ(0xAB00, item.value);
    EXPECT_EQ(1, item.changed);
    item.value = 0x80;  // on, read as a non-zero low byte
    ToggleCheck(item);
    EXPECT_EQ(0, item.value);
}

TEST(ChoicePick, InAndOutOfRange)
{
    const WCHAR* const entries[] = {L"one", L"two", L"three"};
    OptionItem item = Record(0, Choice, 1);
    item.choiceCount = 3;
    item.choices = entries;
    EXPECT_FALSE(PickChoice(item, 1));  // already the value
    EXPECT_FALSE(PickChoice(item, -1));  // nothing picked
    EXPECT_FALSE(PickChoice(item, 3));
    EXPECT_FALSE(PickChoice(item, -100));
    EXPECT_EQ(1, item.value);
    EXPECT_EQ(0, item.changed);
    EXPECT_TRUE(PickChoice(item, 2));
    EXPECT_EQ(2, item.value);
    EXPECT_EQ(1, item.changed);
    EXPECT_EQ("three", Utf8(ChoiceText(item)));

    item.value = 9;  // outside the entries: no text, any pick sets it
    EXPECT_EQ(nullptr, ChoiceText(item));
    item.value = -1;
    EXPECT_EQ(nullptr, ChoiceText(item));
    EXPECT_TRUE(PickChoice(item, 0));
    EXPECT_EQ(0, item.value);

    OptionItem empty = Record(0, Choice, 0);
    EXPECT_EQ(nullptr, ChoiceText(empty));
    EXPECT_FALSE(PickChoice(empty, 0));
}

// _wtol's own rules are tested with WideCrt; here, that a row's text goes
// through it: the digits before junk, 0 for none, blanks and a sign, and
// saturation beyond 32 bits rather than a wrap.
TEST(NumberStore, ConvertsAsWtol)
{
    struct Case {
        const WCHAR* text;
        int stored;
    } cases[] = {
        {L"12abc", 12},
        {L"", 0},
        {L" -5", -5},
        {L"2147483648", 2147483647},
        {L"-99999999999", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        OptionItem item = Record(0, Number, 1);
        EXPECT_EQ(c.stored != 1, StoreNumberText(item, c.text)) << Utf8(c.text);
        EXPECT_EQ(c.stored, ItemNumber(item)) << Utf8(c.text);
        EXPECT_EQ(c.stored != 1 ? 1 : 0, item.changed) << Utf8(c.text);
    }
}

TEST(NumberStore, OnlyTheFirst29CharactersCount)
{
    // 28 blanks and a 7: the 7 is the 29th character and counts.
    std::u16string text(28, u' ');
    OptionItem item = Record(0, Number, 0);
    EXPECT_TRUE(StoreNumberText(item, W(text + u"7")));
    EXPECT_EQ(7, ItemNumber(item));
    // 29 blanks and an 8: the 8 is cut off, leaving no digits.
    item.changed = 0;
    EXPECT_TRUE(StoreNumberText(item, W(text + u" 8")));
    EXPECT_EQ(0, ItemNumber(item));
    // 31 digits: only the first 29, ending in 12, are converted.
    std::u16string digits = u"0000000000000000000000000001234";
    item.value = 5;
    StoreNumberText(item, W(digits));
    EXPECT_EQ(12, ItemNumber(item));
}

TEST(NumberStore, SameValueLeavesChangedAlone)
{
    OptionItem item = Record(0, Number, -5);
    EXPECT_FALSE(StoreNumberText(item, L"  -5xyz"));
    EXPECT_EQ(0, item.changed);
    item.changed = 1;
    EXPECT_FALSE(StoreNumberText(item, L"-5"));
    EXPECT_EQ(1, item.changed);
    EXPECT_TRUE(StoreNumberText(item, nullptr));  // no text reads as 0
    EXPECT_EQ(0, ItemNumber(item));
}

TEST_F(TextStore, EditedTwiceFreesOnlyTheControlsOwnString)
{
    static const WCHAR callers[] = L"\\Temp";  // not from the heap: a free would fault
    OptionItem item = Record(0, Text);
    SetItemText(item, callers);

    EXPECT_TRUE(StoreText(item, L"\\My Documents"));
    EXPECT_EQ(1, item.changed);
    EXPECT_EQ("\\My Documents", Utf8(ItemText(item)));
    EXPECT_EQ(1, CountedHeap::allocations);
    EXPECT_EQ(0, CountedHeap::releases);
    const WCHAR* first = ItemText(item);

    EXPECT_TRUE(StoreText(item, L"\\Storage Card"));
    EXPECT_EQ(2, CountedHeap::allocations);
    EXPECT_EQ(1, CountedHeap::releases);
    EXPECT_EQ(0u, CountedHeap::alive.count(const_cast<WCHAR*>(first)));
    EXPECT_FALSE(CountedHeap::foreignRelease);
    EXPECT_EQ(1u, CountedHeap::alive.size());
    EXPECT_EQ("\\Storage Card", Utf8(ItemText(item)));
    EXPECT_EQ("\\Temp", Utf8(callers));
}

TEST_F(TextStore, EqualCommitAllocatesNothingThatSurvives)
{
    static const WCHAR callers[] = L"same";
    OptionItem item = Record(0, Text);
    SetItemText(item, callers);
    EXPECT_FALSE(StoreText(item, L"same"));
    EXPECT_EQ(callers, ItemText(item));
    EXPECT_EQ(0, item.changed);
    EXPECT_TRUE(CountedHeap::alive.empty());
    EXPECT_EQ(CountedHeap::allocations, CountedHeap::releases);

    // After a change the control's own string stays through an equal commit.
    EXPECT_TRUE(StoreText(item, L"other"));
    const WCHAR* own = ItemText(item);
    EXPECT_FALSE(StoreText(item, L"other"));
    EXPECT_EQ(own, ItemText(item));
    EXPECT_EQ(1, item.changed);
    EXPECT_EQ(1u, CountedHeap::alive.size());
    EXPECT_FALSE(CountedHeap::foreignRelease);
}

TEST_F(TextStore, CallerMarkedHeapStringIsReleasedOnChange)
{
    // changed = 1 handed over says the string came from the runtime heap.
    WCHAR* callers = static_cast<WCHAR*>(CountedHeap::Allocate(4, sizeof(WCHAR)));
    callers[0] = L'a';
    OptionItem item = Record(0, Text);
    SetItemText(item, callers);
    item.changed = 1;
    EXPECT_TRUE(StoreText(item, L""));
    EXPECT_EQ("", Utf8(ItemText(item)));
    EXPECT_EQ(1, CountedHeap::releases);
    EXPECT_FALSE(CountedHeap::foreignRelease);
}

TEST(TextStoreDefaultHeap, RealCallocAndFree)
{
    OptionItem item = Record(0, Text);
    SetItemText(item, L"start");
    for (int i = 0; i < 1000; ++i) {
        WCHAR text[16];
        wsprintfW(text, L"value %d", i);
        EXPECT_TRUE(StoreText(item, text));
    }
    EXPECT_EQ("value 999", Utf8(ItemText(item)));
    free(const_cast<WCHAR*>(ItemText(item)));
}

TEST(VisibleRows, NextPreviousAndRank)
{
    OptionItem items[] = {Record(0, Group), Record(2, Check), Record(1, Check), Record(3, Check)};
    ApplyInitialState(items, 4);  // visible: 1 0 1 0
    EXPECT_EQ(0, NextVisible(items, 4, -1));
    EXPECT_EQ(2, NextVisible(items, 4, 0));
    EXPECT_EQ(-1, NextVisible(items, 4, 2));
    EXPECT_EQ(0, PreviousVisible(items, 4, 2));
    EXPECT_EQ(-1, PreviousVisible(items, 4, 0));
    EXPECT_EQ(1, VisibleRank(items, 4, 2));
    EXPECT_EQ(2, VisibleCount(items, 4));
    EXPECT_EQ(-1, NextVisible(nullptr, 0, -1));
    EXPECT_EQ(0, VisibleCount(nullptr, 0));
}
