#include "scan/ResponseLines.h"

#include <QStringList>

#include <gtest/gtest.h>

#include "tests/scan/QStringPrinter.h"

#include <string>
#include <vector>

#include "scan/ResponseList.h"
#include "scan/Settings.h"

namespace {

// A list that keeps its items and records every operation, in the order made.
class FakeResponseList : public IResponseList {
public:
    QStringList items;
    int mark = -1;
    bool redraw = true;
    std::vector<std::string> log;
    std::vector<bool> redrawAtChange;  // redraw state at each item change

    int Count() const override { return static_cast<int>(items.size()); }
    void DeleteItem(int index) override {
        log.push_back("del " + std::to_string(index));
        redrawAtChange.push_back(redraw);
        if (index >= 0 && index < items.size()) {
            items.removeAt(index);
            // The anchor follows the items, as in a real list.
            if (mark == index) {
                mark = -1;
            } else if (mark > index) {
                --mark;
            }
        }
    }
    void InsertItem(int index, const QString& text) override {
        log.push_back("ins " + std::to_string(index));
        redrawAtChange.push_back(redraw);
        items.insert(index, text);
        if (mark >= index) {
            ++mark;
        }
    }
    void ReplaceItem(int index, const QString& text) override {
        log.push_back("rep " + std::to_string(index));
        redrawAtChange.push_back(redraw);
        if (index >= 0 && index < items.size()) {
            items[index] = text;
            // As deleting and inserting would: the anchor on the replaced item is lost.
            if (mark == index) {
                mark = -1;
            }
        }
    }
    QString ItemText(int index) const override { return items.value(index); }
    int SelectionMark() const override { return mark; }
    void SetSelectionMark(int index) override {
        log.push_back("mark " + std::to_string(index));
        mark = index;
    }
    void SetRedraw(bool on) override {
        log.push_back(on ? "redraw on" : "redraw off");
        redraw = on;
    }
    void Invalidate() override { log.push_back("invalidate"); }

    int CountOf(const std::string& op) const {
        int n = 0;
        for (const auto& entry : log) {
            n += entry == op ? 1 : 0;
        }
        return n;
    }
};

std::vector<std::uint16_t> Ramp(int count, std::uint16_t first) {
    std::vector<std::uint16_t> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(static_cast<std::uint16_t>(first + i));
    }
    return values;
}

}  // namespace

TEST(FormatResponseLine, HoldingAndInputReferenceNumbers) {
    EXPECT_EQ(FormatResponseLine(0x0010, 0, kReferenceBaseHolding, 0x1234),
              "[Address : 0x0010 / 40017 ] = 0x1234, 4660");
    EXPECT_EQ(FormatResponseLine(0x0010, 1, kReferenceBaseHolding, 0xFFFF),
              "[Address : 0x0011 / 40018 ] = 0xffff, 65535");
    EXPECT_EQ(FormatResponseLine(0, 0, kReferenceBaseInput, 0),
              "[Address : 0x0000 / 30001 ] = 0x0000, 0");
    EXPECT_EQ(FormatResponseLine(0xABCD, 0, kReferenceBaseHolding, 0xBEEF),
              "[Address : 0xabcd / 83982 ] = 0xbeef, 48879");
}

TEST(FormatResponseLine, AddressRunsPast0xFFFFWithoutWrapping) {
    EXPECT_EQ(FormatResponseLine(0xFFFF, 0, kReferenceBaseHolding, 1),
              "[Address : 0xffff / 105536 ] = 0x0001, 1");
    EXPECT_EQ(FormatResponseLine(0xFFFF, 1, kReferenceBaseHolding, 2),
              "[Address : 0x10000 / 105537 ] = 0x0002, 2");
    EXPECT_EQ(FormatResponseLine(0xFFF0, 124, kReferenceBaseInput, 0),
              "[Address : 0x1006c / 95645 ] = 0x0000, 0");
}

// The line is put together by hand for speed; it must match the printf format exactly.
TEST(FormatResponseLine, MatchesThePrintfFormatEverywhere) {
    const std::uint16_t starts[] = {0, 1, 0x000F, 0x0010, 0x0FFF, 0x1000, 0xABCD, 0xFF84, 0xFFFF};
    const int indexes[] = {0, 1, 9, 15, 16, 99, 124};
    const int bases[] = {kReferenceBaseHolding, kReferenceBaseInput};
    const std::uint16_t values[] = {0,      1,      9,    10,     0x00FF, 0x0100,
                                    0x0FFF, 0x1000, 4660, 0x8000, 0xFFFE, 0xFFFF};
    for (std::uint16_t start : starts) {
        for (int index : indexes) {
            for (int base : bases) {
                for (std::uint16_t value : values) {
                    const int address = start + index;
                    const QString expected = QString::asprintf(
                        "[Address : 0x%04x / %d ] = 0x%04x, %d", static_cast<unsigned>(address),
                        address + base, static_cast<unsigned>(value), static_cast<int>(value));
                    ASSERT_EQ(FormatResponseLine(start, index, base, value), expected);
                }
            }
        }
    }
}

TEST(ReadValueFromLine, TakesTheNumberAfterTheLastComma) {
    EXPECT_EQ(ReadValueFromLine("[Address : 0x0003 / 40004 ] = 0x00ff, 255"), 255);
    EXPECT_EQ(ReadValueFromLine("[Address : 0x0011 / 40018 ] = 0xffff, 65535"), 65535);
    EXPECT_EQ(ReadValueFromLine("a, b, 17  "), 17);
    EXPECT_EQ(ReadValueFromLine("x,"), 0);
    EXPECT_EQ(ReadValueFromLine("[Address : 0x0003 / 40004 ] = 0x00ff"), 0);
    EXPECT_EQ(ReadValueFromLine("42"), 42);
    EXPECT_EQ(ReadValueFromLine(""), 0);
    for (int value : {0, 1, 4660, 65535}) {
        const auto word = static_cast<std::uint16_t>(value);
        EXPECT_EQ(ReadValueFromLine(FormatResponseLine(7, 3, kReferenceBaseInput, word)), word);
    }
}

TEST(RebuildResponseList, FirstCycleFillsTheList) {
    FakeResponseList list;
    const std::vector<std::uint16_t> values{0x1234, 0xFFFF};
    RebuildResponseList(list, 0x0010, kReferenceBaseHolding, values, 2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.items[0], "[Address : 0x0010 / 40017 ] = 0x1234, 4660");
    EXPECT_EQ(list.items[1], "[Address : 0x0011 / 40018 ] = 0xffff, 65535");
    EXPECT_EQ(list.log, (std::vector<std::string>{"redraw off", "ins 0", "ins 1", "redraw on",
                                                  "invalidate"}));
}

TEST(RebuildResponseList, QuantityChangesReplaceAppendAndTrim) {
    FakeResponseList list;
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(20, 100), 20);
    ASSERT_EQ(list.Count(), 20);
    EXPECT_EQ(list.items[19], "[Address : 0x0013 / 40020 ] = 0x0077, 119");

    // 20 -> 5: the first five replaced in place, then fifteen deletes at index 5.
    list.log.clear();
    RebuildResponseList(list, 0, kReferenceBaseInput, Ramp(5, 200), 5);
    ASSERT_EQ(list.Count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.items[i], FormatResponseLine(0, i, kReferenceBaseInput,
                                                    static_cast<std::uint16_t>(200 + i)));
    }
    std::vector<std::string> expected{"redraw off"};
    for (int i = 0; i < 5; ++i) {
        expected.push_back("rep " + std::to_string(i));
    }
    for (int i = 0; i < 15; ++i) {
        expected.push_back("del 5");
    }
    expected.push_back("redraw on");
    expected.push_back("invalidate");
    EXPECT_EQ(list.log, expected);

    // 5 -> 8: lines 0 to 4 replaced, 5 to 7 appended; never cleared as a whole.
    list.log.clear();
    RebuildResponseList(list, 0x0100, kReferenceBaseHolding, Ramp(8, 0), 8);
    ASSERT_EQ(list.Count(), 8);
    EXPECT_EQ(list.items[7], "[Address : 0x0107 / 40264 ] = 0x0007, 7");
    EXPECT_EQ(list.CountOf("del 5") + list.CountOf("del 6") + list.CountOf("del 7"), 0);
    EXPECT_EQ(list.CountOf("ins 5") + list.CountOf("ins 6") + list.CountOf("ins 7"), 3);
    EXPECT_EQ(list.CountOf("rep 0") + list.CountOf("rep 4"), 2);
    EXPECT_EQ(list.log.size(), 1u + 5 + 3 + 2);

    // 8 -> 0: every line removed.
    list.log.clear();
    RebuildResponseList(list, 0, kReferenceBaseHolding, {}, 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.CountOf("del 0"), 8);
    EXPECT_EQ(list.CountOf("invalidate"), 1);
}

TEST(RebuildResponseList, RedrawIsOffForEveryChangeAndRepaintsOnce) {
    FakeResponseList list;
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(10, 0), 10);
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(3, 0), 3);
    ASSERT_FALSE(list.redrawAtChange.empty());
    for (bool on : list.redrawAtChange) {
        EXPECT_FALSE(on);
    }
    EXPECT_TRUE(list.redraw);
    EXPECT_EQ(list.CountOf("invalidate"), 2);
    EXPECT_EQ(list.log.back(), "invalidate");
}

TEST(RebuildResponseList, SelectionMarkRule) {
    FakeResponseList list;
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(8, 0), 8);

    list.mark = 3;
    list.log.clear();
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(8, 1), 8);
    EXPECT_EQ(list.mark, 3);
    EXPECT_EQ(list.CountOf("mark 3"), 1);

    list.mark = 0;
    list.log.clear();
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(8, 2), 8);
    EXPECT_EQ(list.CountOf("mark 0"), 0);

    list.mark = 6;
    list.log.clear();
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(6, 0), 6);
    EXPECT_EQ(list.CountOf("mark 6"), 0);
    EXPECT_NE(list.mark, 6);

    list.mark = -1;
    list.log.clear();
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(6, 0), 6);
    for (const auto& op : list.log) {
        EXPECT_NE(op.rfind("mark", 0), 0u) << op;
    }
}

TEST(RebuildResponseList, ShortAnswerShowsZerosAndBadQuantityClears) {
    FakeResponseList list;
    const std::vector<std::uint16_t> values{5};
    RebuildResponseList(list, 0, kReferenceBaseHolding, values, 3);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.items[0], "[Address : 0x0000 / 40001 ] = 0x0005, 5");
    EXPECT_EQ(list.items[2], "[Address : 0x0002 / 40003 ] = 0x0000, 0");

    RebuildResponseList(list, 0, kReferenceBaseHolding, values, -4);
    EXPECT_EQ(list.Count(), 0);
}

TEST(FinishResponseListUpdate, LeavesItemsAndRepaintsOnce) {
    FakeResponseList list;
    RebuildResponseList(list, 0, kReferenceBaseHolding, Ramp(2, 0), 2);
    const QStringList before = list.items;
    list.log.clear();
    list.redraw = false;
    FinishResponseListUpdate(list);
    EXPECT_EQ(list.items, before);
    EXPECT_EQ(list.log, (std::vector<std::string>{"redraw on", "invalidate"}));
}
