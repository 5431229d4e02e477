// Which records a criteria keeps: operators over real values, Nulls, letter
// case, unconvertible values, the bool codes, and the typed tests of stored
// values against the general variant path.
#include "FilterFixture.h"

#include "core/Errors.h"
#include "core/LikeMatch.h"

#include <algorithm>
#include <random>
#include <set>

namespace kestrum::testing_filter {
namespace {

class FilterEvaluationTest : public FilterFixture {
protected:
    FilterEvaluationTest()
    {
        Add(100.0, Day(2024, 7, 10), Text("工资"));             // 0
        Add(20.5, Day(2024, 7, 1), Text("红包"));               // 1
        Add(Variant::null(), Variant::null(), Variant::null()); // 2
        Add(7.0, Day(2023, 12, 31), Text(""));                  // 3
        Add(55.0, Day(2024, 7, 9), Text("Abc"));                // 4
        Filter->SetActive(true);
    }

    std::string Keep(TkvFilterItemLink item, TkvFilterOperatorCode code, const Variant &value)
    {
        Filter->ClearTree();
        Filter->AppendCondition(nullptr, item, code, value, "");
        return Rows();
    }
};

TEST_F(FilterEvaluationTest, EmptyOrInactiveCriteriaKeepsEverything)
{
    EXPECT_EQ(Rows(), "0,1,2,3,4");
    Filter->AppendSubList(nullptr, bcAnd); // an empty inner list is true
    EXPECT_EQ(Rows(), "0,1,2,3,4");
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 50.0, "50");
    EXPECT_EQ(Rows(), "0,4");
    Filter->SetActive(false);
    EXPECT_EQ(Rows(), "0,1,2,3,4");
    Filter->SetActive(true);
    EXPECT_EQ(Rows(), "0,4");
}

TEST_F(FilterEvaluationTest, NullsAndEmptyTexts)
{
    EXPECT_EQ(Keep(Item(), ocEqual, Variant::null()), "2");
    EXPECT_EQ(Keep(Item(), ocNotEqual, Variant::null()), "0,1,3,4");
    EXPECT_EQ(Keep(Item(), ocEqual, Text("")), "3");
    Filter->SetOptions({fcoSoftNull});
    EXPECT_EQ(Keep(Item(), ocEqual, Text("")), "2,3"); // a Null test now
    EXPECT_EQ(Keep(Item(), ocNotLike, Text("")), "0,1,4");
    Filter->SetOptions({});
    // Null is below every value: a less-than filter keeps it.
    EXPECT_EQ(Keep(Amount(), ocLess, 50.0), "1,2,3");
    EXPECT_EQ(Keep(Amount(), ocLessEqual, 7.0), "2,3");
    EXPECT_EQ(Keep(Amount(), ocGreaterEqual, 55.0), "0,4");
    EXPECT_EQ(Keep(Date(), ocLess, Day(2024, 7, 1)), "2,3");
    // Like sees Null as the empty text, which a lone percent matches.
    EXPECT_EQ(Keep(Item(), ocLike, Text("%")), "0,1,2,3,4");
    EXPECT_EQ(Keep(Item(), ocLike, Text("_%")), "0,1,4");
}

TEST_F(FilterEvaluationTest, LetterCaseIsIgnoredByLikeAndEqualOnly)
{
    EXPECT_EQ(Keep(Item(), ocEqual, Text("abc")), "");
    EXPECT_EQ(Keep(Item(), ocLike, Text("a%")), "");
    Filter->SetOptions({fcoCaseInsensitive});
    EXPECT_EQ(Keep(Item(), ocEqual, Text("abc")), "4");
    EXPECT_EQ(Keep(Item(), ocLike, Text("a%")), "4");
    EXPECT_EQ(Keep(Item(), ocNotEqual, Variant(u"ABC")), "0,1,2,3");
    // Array elements are never upper-cased.
    EXPECT_EQ(Keep(Item(), ocInList, Variant::fromArray({Text("abc"), Text("工资")})), "0");
    EXPECT_EQ(Keep(Item(), ocBetween, Variant::fromArray({Text("a"), Text("b")})), "");
}

TEST_F(FilterEvaluationTest, LikeWildcardsAndChineseText)
{
    EXPECT_EQ(Keep(Item(), ocLike, Text("%资")), "0");
    EXPECT_EQ(Keep(Item(), ocLike, Text("工_")), "0");
    EXPECT_EQ(Keep(Item(), ocLike, Text("%工%")), "0");
    EXPECT_EQ(Keep(Item(), ocNotLike, Text("%工%")), "1,2,3,4");
    Filter->SetPercentWildcard("*");
    EXPECT_EQ(Keep(Item(), ocLike, Text("*包")), "1");
    EXPECT_EQ(Keep(Item(), ocLike, Text("%包")), ""); // "%" is a plain character now
}

TEST_F(FilterEvaluationTest, RangesAndLists)
{
    EXPECT_EQ(Keep(Amount(), ocBetween, Variant::fromArray({20.5, 55})), "1,4"); // both ends included
    EXPECT_EQ(Keep(Amount(), ocNotBetween, Variant::fromArray({20.5, 55})), "0,2,3");
    EXPECT_EQ(Keep(Amount(), ocInList, Variant::fromArray({7, 100, Variant::null()})), "0,2,3");
    EXPECT_EQ(Keep(Amount(), ocNotInList, Variant::fromArray({7, 100})), "1,2,4");
    EXPECT_EQ(Keep(Date(), ocBetween, Variant::fromArray({Day(2024, 7, 1), Day(2024, 7, 9)})), "1,4");
    EXPECT_EQ(Keep(Amount(), ocEqual, Variant(Currency{205000})), "1"); // currency is compared as a real
}

TEST_F(FilterEvaluationTest, UnconvertibleValuesRaiseUnlessSoftCompare)
{
    Filter->SetActive(false);
    Filter->AppendCondition(nullptr, Amount(), ocNotEqual, Text("abc"), "abc");
    EXPECT_THROW(Filter->EvaluateRecord(0), EVariantConversionError);
    // The error leaves the controller's update, which is closed all the same.
    EXPECT_THROW(Filter->SetActive(true), EVariantConversionError);
    EXPECT_FALSE(Controller.IsLocked());
    EXPECT_FALSE(Filter->Active()) << "the change that failed was taken back";
    Filter->SetOptions({fcoSoftCompare});
    Filter->SetActive(true);
    EXPECT_EQ(Rows(), "2"); // the failed tests are false; Null against a string needs no conversion
    Filter->ClearTree();
    Filter->SetOptions({});
    // A string that is a number converts.
    EXPECT_EQ(Keep(Amount(), ocEqual, Text("20.5")), "1");
    EXPECT_EQ(Keep(Date(), ocEqual, Text("2024-7-9")), "4");
}

TEST_F(FilterEvaluationTest, BoolCodes)
{
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 50.0, "50");
    Filter->AppendCondition(nullptr, Item(), ocLike, Text("%工%"), "");
    EXPECT_EQ(Rows(), "0");
    Filter->Root().SetBoolOperatorKind(bcOr);
    EXPECT_EQ(Rows(), "0,4");
    Filter->Root().SetBoolOperatorKind(bcNotAnd); // not all true
    EXPECT_EQ(Rows(), "1,2,3,4");
    Filter->Root().SetBoolOperatorKind(bcNotOr); // none true
    EXPECT_EQ(Rows(), "1,2,3");
    // Not-or of one child is its negation.
    Filter->RemoveConditionsOf(Item());
    EXPECT_EQ(Rows(), "1,2,3");
}

TEST_F(FilterEvaluationTest, CriteriaChangeFiltersAgainWithoutReload)
{
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 50.0, "50");
    Controller.SetValue(4, 0, 1.0); // the storage holds the only copy of the values
    EXPECT_EQ(Rows(), "0");
    static_cast<TkvFilterCriteriaItem *>(Filter->Root().Items(0))->SetValue(10.0);
    EXPECT_EQ(Rows(), "0,1");
    EXPECT_EQ(Controller.RecordCount(), 5);
}

TEST_F(FilterEvaluationTest, StoredValueTestsAgreeWithTheVariantPath)
{
    // Every leaf is evaluated both ways over every record: through the typed
    // test (Evaluate) and through the prepared Variants of the general path.
    const Variant values[] = {
        Variant(20.5),
        Variant(7),
        Variant::fromInt8(7),
        Variant(Currency{70000}),
        Day(2024, 7, 9),
        Variant::fromFloat32(20.5f),
        Text("工资"),
        Variant(u"Abc"),
        Text(""),
        Variant::fromArray({7, 55.0}),
        Variant::fromArray({Text("红包"), Text("Abc")}),
        Variant::fromArray({Day(2024, 7, 1), Day(2024, 7, 10)}),
        Variant::fromArray({Text("A"), Text("工")}),
        Text("%工%"),
        Text("工%"),
        Text("%资"),
        Text("%%"),
        Text("%"),
        Text("_资"),
        Text("%c"),
        Text("%工%资%"),
        Variant::fromNarrow("%\xB9"),
        Variant::fromNarrow("%\xA4\xD7%"),
    };
    Add(1.0, Day(2024, 1, 1), Text("资工"));
    Add(2.0, Day(2024, 1, 2), Text("加工费工资"));
    for (int options = 0; options < 2; ++options) {
        Filter->SetOptions(options ? TkvFilterCriteriaOptions{fcoCaseInsensitive, fcoSoftCompare}
                                   : TkvFilterCriteriaOptions{fcoSoftCompare});
        for (int itemIndex = 0; itemIndex < 3; ++itemIndex)
            for (int code = ocEqual; code <= ocNextYear; ++code)
                for (const Variant &value : values) {
                    Filter->ClearTree();
                    TkvFilterCriteriaItem *leaf = Filter->AppendCondition(
                        nullptr, Controller.GetItem(itemIndex), TkvFilterOperatorCode(code), value, "");
                    for (int r = 0; r < Controller.RecordCount(); ++r) {
                        bool expected = false;
                        try {
                            expected = leaf->Operator().Evaluate(
                                Filter->PrepareValue(Controller.GetValue(r, itemIndex)),
                                Filter->PrepareValue(value));
                        } catch (const Exception &) {
                            expected = false;
                        }
                        EXPECT_EQ(Filter->EvaluateRecord(r), expected)
                            << "item " << itemIndex << " code " << code << " " << debugString(value)
                            << " record " << r;
                    }
                }
    }
}

TEST_F(FilterEvaluationTest, LikeOverRandomGb18030TextsAgreesWithTheMatcher)
{
    // Pieces chosen so that byte matches off a character boundary are
    // common: "\xA4\xB9" ends in the lead byte of 工 (B9 A4), "\xB9\x41"
    // starts with it, a four-byte character and lone lead bytes that join
    // their neighbours into other characters.
    const char *const pieces[] = {"a",        "A",        "%",           "_",
                                  "\xB9\xA4", "\xA4\xB9", "\xA4\x41",    "\xB9\x41",
                                  "\xB9",     "\xA4",     "\x81",        "\x81\x30\x81\x30",
                                  "\x30",     "\xFF",     "\xB9\xA4\xB9"};
    const int pieceCount = int(sizeof(pieces) / sizeof(pieces[0]));
    std::mt19937 random(7);
    auto piece = [&](bool wildcards) {
        for (;;) {
            const char *p = pieces[random() % pieceCount];
            if (wildcards || (p[0] != '%' && p[0] != '_'))
                return std::string(p);
        }
    };
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        std::string text;
        const int length = int(random() % 7);
        for (int k = 0; k < length; ++k)
            text += piece(true);
        texts.push_back(text);
    }
    Filter->ClearTree();
    const int first = Controller.RecordCount();
    for (const std::string &text : texts)
        Add(1.0, Day(2024, 1, 1), Variant::fromNarrow(text));
    Add(1.0, Day(2024, 1, 1), Variant::null()); // Like sees Null as the empty text

    for (int round = 0; round < 400; ++round) {
        // Mostly the literal shapes ("%x%", "x%", "%x", "x"), sometimes with
        // wildcards inside, which the general matcher handles.
        std::string literal;
        const int length = 1 + int(random() % 3);
        for (int k = 0; k < length; ++k)
            literal += piece(round % 5 == 0);
        const int shape = round % 4;
        const std::string pattern = (shape & 1 ? "%" : "") + literal + (shape & 2 ? "%" : "");
        std::string expected;
        std::string expectedNot;
        for (int r = 0; r < Controller.RecordCount(); ++r) {
            const std::string text = r >= first && r - first < int(texts.size())
                                         ? texts[std::size_t(r - first)]
                                     : r == Controller.RecordCount() - 1 ? std::string()
                                                                         : std::string("-");
            if (text == "-")
                continue; // the fixture's own records
            std::string &list = MatchLike(text, pattern) ? expected : expectedNot;
            list += (list.empty() ? "" : ",") + std::to_string(r);
        }
        for (int notLike = 0; notLike < 2; ++notLike) {
            Filter->ClearTree();
            Filter->AppendCondition(nullptr, Item(), notLike ? ocNotLike : ocLike,
                                    Variant::fromNarrow(pattern), "");
            // Leave out the fixture's own records.
            std::string rows;
            for (int row = 0; row < Controller.RowCount(); ++row) {
                const int r = Controller.GetRowRecordIndex(row);
                if (r >= first)
                    rows += (rows.empty() ? "" : ",") + std::to_string(r);
            }
            EXPECT_EQ(rows, notLike ? expectedNot : expected)
                << (notLike ? "not like " : "like ") << debugString(Variant::fromNarrow(pattern));
        }
    }
}

TEST_F(FilterEvaluationTest, ValueListForTheDropDown)
{
    Add(100.0, Day(2024, 7, 11), Text("工资")); // a duplicate value
    TkvDataFilterValueList list(*Filter);
    list.Load(0);
    std::string text;
    for (int i = 0; i < list.Count(); ++i)
        text += (i ? "|" : "") + list.Items(i).DisplayText.toStdString();
    EXPECT_EQ(text, "(全部)|(用户定制搜索)|(为空)|(不为空)|7|20.5|55|100");
    EXPECT_EQ(list.Items(4).Kind, vkValue);

    // The current condition's entry.
    Filter->AppendCondition(nullptr, Amount(), ocEqual, 55.0, "55");
    EXPECT_EQ(list.GetIndexByCriteriaItem(Filter->FindConditionOf(Controller.GetItemField(0))), 6);
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Amount(), ocEqual, Variant::null(), "");
    EXPECT_EQ(list.GetIndexByCriteriaItem(Filter->FindConditionOf(Controller.GetItemField(0))), 2);
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 55.0, "");
    EXPECT_EQ(list.GetIndexByCriteriaItem(Filter->FindConditionOf(Controller.GetItemField(0))), 1);
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Amount(), ocEqual, 3.0, "");
    EXPECT_EQ(list.GetIndexByCriteriaItem(Filter->FindConditionOf(Controller.GetItemField(0))), 0);
    EXPECT_EQ(list.GetIndexByCriteriaItem(nullptr), -1);

    // By display text, with a limit, and the handler's last word.
    Filter->SetMaxValueListCount(5); // the entries held, fixed ones included
    int handled = -1;
    Filter->OnGetValueList = [&](TkvFilterCriteria *, int itemIndex, TkvDataFilterValueList &) {
        handled = itemIndex;
    };
    list.Load(2, true);
    text.clear();
    for (int i = 0; i < list.Count(); ++i)
        text += (i ? "|" : "") + list.Items(i).DisplayText.toStdString();
    EXPECT_EQ(text, "(全部)|(用户定制搜索)|(为空)|(不为空)||工资|红包"); // "Abc" came too late
    EXPECT_EQ(handled, 2);
}

TEST_F(FilterEvaluationTest, ValueListByDisplayTextFollowsTheCollation)
{
    for (const char *item : {"资金", "abc", "ABC", "啊", "B", "a", "工资"})
        Add(1.0, Day(2024, 1, 1), Text(item));
    TkvDataFilterValueList list(*Filter);
    const auto values = [&] {
        std::string text;
        for (int i = list.IndexOfKind(vkNonBlanks) + 1; i < list.Count(); ++i)
            text +=
                (i > list.IndexOfKind(vkNonBlanks) + 1 ? "|" : "") + list.Items(i).DisplayText.toStdString();
        return text;
    };
    list.Load(2, true);
    // Chinese texts first, in pinyin order, then Latin ones, case apart; each text once.
    EXPECT_EQ(values(), "|啊|工资|红包|资金|a|abc|Abc|ABC|B");
    // Case-insensitive: texts equal but for case make one entry, the first record's.
    Filter->SetOptions(TkvFilterCriteriaOptions{fcoCaseInsensitive});
    list.Load(2, true);
    EXPECT_EQ(values(), "|啊|工资|红包|资金|a|Abc|B");
    // Numbers by display text sort as texts.
    Filter->SetOptions({});
    list.Load(0, true);
    EXPECT_EQ(values(), "1|100|20.5|55|7");
}

TEST_F(FilterEvaluationTest, NumbersByDisplayTextCollateAsTheLocaleComparesThem)
{
    // Signs, separators, equal values and long numbers: the list sorted at
    // once must match the one built entry by entry with the locale's comparison.
    for (double amount :
         {-5.0, -12.5, 0.0, -0.0, 1234.5, 1000000.0, 7.0, 0.25, -0.25, 99999999.99, 10.0, 1.0})
        Add(amount, Day(2024, 1, 1), Text("x"));
    const auto texts = [&](int cap) {
        Filter->SetMaxValueListCount(cap);
        TkvDataFilterValueList list(*Filter);
        list.Load(0, true);
        std::vector<std::string> result;
        for (int i = list.IndexOfKind(vkNonBlanks) + 1; i < list.Count(); ++i)
            result.push_back(list.Items(i).DisplayText.toStdString());
        return result;
    };
    const std::vector<std::string> sorted = texts(0);
    EXPECT_EQ(sorted, texts(1000));
    EXPECT_EQ(sorted.size(), 14u); // with the fixture's 20.5, 55 and 100; -0 shows as 0
    for (std::size_t i = 1; i < sorted.size(); ++i)
        EXPECT_LT(regionalSettings().collate(QString::fromStdString(sorted[i - 1]),
                                             QString::fromStdString(sorted[i]), false),
                  0);
}

TEST_F(FilterEvaluationTest, ValueListOfManyTextsHoldsEachOnceInOrder)
{
    // Thousands of texts, each stored by several records far apart, some
    // differing only in a last character or by being a prefix of another.
    std::mt19937 random(7);
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i)
        texts.push_back("备注" + std::to_string(i * 7919 % 3001));
    texts.push_back("备注");
    texts.push_back("");
    std::set<std::string> expected(texts.begin(), texts.end());
    expected.insert({"工资", "红包", "", "Abc"}); // the fixture's rows
    for (int copy = 0; copy < 3; ++copy) {
        std::shuffle(texts.begin(), texts.end(), random);
        for (const std::string &text : texts)
            Add(1.0, Day(2024, 1, 1), Text(text.c_str()));
    }
    TkvDataFilterValueList list(*Filter);
    list.Load(2);
    std::vector<std::string> listed;
    for (int i = list.IndexOfKind(vkNonBlanks) + 1; i < list.Count(); ++i)
        listed.push_back(list.Items(i).DisplayText.toStdString());
    EXPECT_EQ(listed, std::vector<std::string>(expected.begin(), expected.end()));
}

TEST_F(FilterEvaluationTest, ValueListReadAsShownMatchesTheListBuiltWhole)
{
    // A list without a cap makes its value entries as they are read; one with
    // a cap is built whole, entry by entry. Both must list the same entries in
    // the same order, whichever entry is read first.
    std::mt19937 random(11);
    std::vector<std::string> texts;
    for (int i = 0; i < 2000; ++i)
        texts.push_back("remark " + std::to_string(random() % 1500));
    for (const char *text :
         {"remark", "Remark 5", "remark-5", "remark 5 ", "备注 1", "ABC", "abc", "a b", ""})
        texts.push_back(text);
    for (const std::string &text : texts)
        Add(1.0, Day(2024, 1, 1), Text(text.c_str()));
    const auto listed = [&](TkvDataFilterValueList &list, bool fromTheMiddle) {
        std::vector<std::string> result(std::size_t(list.Count()));
        std::vector<int> order(result.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        if (fromTheMiddle)
            std::shuffle(order.begin(), order.end(), random);
        for (int i : order)
            result[std::size_t(i)] = list.Items(i).DisplayText.toStdString() + "=" +
                                     (list.Items(i).Value.isNull() ? "null" : list.Items(i).Value.toNarrow());
        return result;
    };
    for (const TkvFilterCriteriaOptions options :
         {TkvFilterCriteriaOptions{}, TkvFilterCriteriaOptions{fcoCaseInsensitive},
          TkvFilterCriteriaOptions{fcoSoftNull}})
        for (const bool byDisplayText : {true, false}) {
            Filter->SetOptions(options);
            Filter->SetMaxValueListCount(100000);
            TkvDataFilterValueList whole(*Filter);
            whole.Load(2, byDisplayText);
            const std::vector<std::string> expected = listed(whole, false);
            Filter->SetMaxValueListCount(0);
            TkvDataFilterValueList shown(*Filter);
            shown.Load(2, byDisplayText);
            EXPECT_EQ(listed(shown, true), expected);
            shown.Load(2, byDisplayText);
            EXPECT_EQ(listed(shown, false), expected);
            EXPECT_EQ(shown.IndexOfKind(vkNonBlanks), whole.IndexOfKind(vkNonBlanks));

            // The check mark finds the same entry.
            Filter->ClearTree();
            Filter->AppendCondition(nullptr, Item(), ocEqual, Text("Remark 5"), "");
            const TkvFilterCriteriaItem *condition = Filter->FindConditionOf(Controller.GetItemField(2));
            EXPECT_EQ(shown.GetIndexByCriteriaItem(condition), whole.GetIndexByCriteriaItem(condition));
            EXPECT_GT(shown.GetIndexByCriteriaItem(condition), shown.IndexOfKind(vkNonBlanks));
            Filter->ClearTree();

            // A value added by hand takes its sorted place among them.
            shown.Load(2, byDisplayText);
            whole.Add(vkValue, Text("remark 77x"), QString::fromUtf8("remark 77x"));
            shown.Add(vkValue, Text("remark 77x"), QString::fromUtf8("remark 77x"));
            EXPECT_EQ(listed(shown, false), listed(whole, false));
        }
}

} // namespace
} // namespace kestrum::testing_filter
