// Leaves over number, date and text fields test the stored values directly:
// the leaf value is converted once, each record's value is read in place.
// The results are those of the general path (the variant comparison of the
// prepared values); anything that path would treat specially (Null record
// values, values that need conversion, ignored case) takes that path.
#include "core/Codepage.h"
#include "core/LikeMatch.h"
#include "core/VariantCompare.h"
#include "data/DataController.h"
#include "data/DataStorage.h"
#include "filter/DataFilterCriteria.h"
#include "filter/FilterValueList.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

namespace {

enum class StoredKind : std::uint8_t { None, Double, Int32, Int16, UInt16, Currency, Text };

//! The form of a LIKE pattern whose only wildcards are a leading and a
//! trailing percent: such patterns are tested by comparing the literal at
//! character boundaries instead of running the matcher.
enum class LikeForm : std::uint8_t { General, Exact, BeginsWith, EndsWith, Contains };

std::size_t CharLength(std::string_view bytes, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    if (lead < 0x81)
        return 1;
    // The common two-byte character inline; every other case as the code page says.
    if (lead != 0xFF && pos + 1 < bytes.size()) {
        const auto second = static_cast<unsigned char>(bytes[pos + 1]);
        if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE))
            return 2;
    }
    return static_cast<std::size_t>(narrowCharLength(bytes, pos));
}

LikeForm ClassifyLikeForm(std::string_view pattern, char percent, char underscore, NarrowString &literal)
{
    bool leading = false;
    bool trailing = false;
    std::size_t begin = 0;
    std::size_t end = pattern.size();
    if (begin < end && pattern[begin] == percent) {
        leading = true;
        ++begin;
    }
    if (end > begin && pattern[end - 1] == percent) {
        trailing = true;
        --end;
    }
    if (begin >= end)
        return LikeForm::General;
    // The literal must split into whole characters with no wildcard among them;
    // a trailing percent byte that is part of a character is no wildcard.
    std::size_t pos = begin;
    while (pos < end) {
        const std::size_t length = CharLength(pattern, pos);
        if (pos + length > end)
            return LikeForm::General;
        if (length == 1 && (pattern[pos] == percent || pattern[pos] == underscore))
            return LikeForm::General;
        // A lone lead byte may join the text's next bytes into one character
        // where the matcher would see two: only the matcher gets that right.
        if (length == 1 && static_cast<unsigned char>(pattern[pos]) >= 0x81)
            return LikeForm::General;
        pos += length;
    }
    if (trailing && end < pattern.size() - 1)
        return LikeForm::General;
    literal.assign(pattern.substr(begin, end - begin));
    if (leading && trailing)
        return LikeForm::Contains;
    if (leading)
        return LikeForm::EndsWith;
    return trailing ? LikeForm::BeginsWith : LikeForm::Exact;
}

//! A few bytes compared inline: a library call costs more than the loop.
inline bool SameBytes(const char *a, const char *b, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

//! Whether the literal occurs in the text at a character boundary (ending
//! at the text's end when required). Ledger texts are short: one walk over
//! the character boundaries that compares where the first byte agrees costs
//! less than a byte search followed by the walk.
bool FindAtBoundary(std::string_view text, std::string_view literal, bool atEnd)
{
    const std::size_t n = text.size();
    const std::size_t m = literal.size();
    if (m > n)
        return false;
    const std::size_t last = n - m;
    if (atEnd) {
        if (std::memcmp(text.data() + last, literal.data(), m) != 0)
            return false;
        std::size_t pos = 0;
        while (pos < last)
            pos += CharLength(text, pos);
        return pos == last;
    }
    // Long texts (notes) mostly do not hold the bytes at all: a byte search
    // settles those without the walk.
    if (n > 64 && text.find(literal) == std::string_view::npos)
        return false;
    const char first = literal[0];
    for (std::size_t pos = 0; pos <= last; pos += CharLength(text, pos))
        if (text[pos] == first && SameBytes(text.data() + pos, literal.data(), m))
            return true;
    return false;
}

enum class TestKind : std::uint8_t {
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Like,
    NotLike,
    Between,
    NotBetween,
    InList,
    NotInList,
    DateRange,
};

StoredKind StoredKindOf(TkvValueTypeClass type)
{
    if (type == TkvFloatValueType::Instance() || type == TkvDateTimeValueType::Instance())
        return StoredKind::Double;
    if (type == TkvIntegerValueType::Instance())
        return StoredKind::Int32;
    if (type == TkvSmallintValueType::Instance())
        return StoredKind::Int16;
    if (type == TkvWordValueType::Instance())
        return StoredKind::UInt16;
    if (type == TkvCurrencyValueType::Instance())
        return StoredKind::Currency;
    if (type == TkvStringValueType::Instance())
        return StoredKind::Text;
    return StoredKind::None;
}

//! A leaf value a stored number compares with as a number (dates included);
//! strings and Booleans would need the locale's conversions.
bool NumberOf(const Variant &value, double &number)
{
    if (!IsPlainNumber(value.type()))
        return false;
    number = value.toDouble();
    return true;
}

bool TextOf(const Variant &value, NarrowString &text)
{
    if (value.type() == VarType::String) {
        text = value.rawNarrow();
        return true;
    }
    if (value.type() == VarType::WideString) {
        try {
            text = value.toNarrow();
        } catch (const Exception &) {
            return false;
        }
        return true;
    }
    return false;
}

// The platform comparison of two numbers: an unordered pair is "greater".
inline int CompareNumbers(double a, double b)
{
    return a == b ? 0 : (a < b ? -1 : 1);
}

inline int CompareTexts(std::string_view a, std::string_view b)
{
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

template <typename T> T ReadAt(const void *value)
{
    T result;
    std::memcpy(&result, value, sizeof(T));
    return result;
}

} // namespace

struct TkvDataFilterCriteriaItem::StoredTest {

    const TkvFilterCriteria *Criteria = nullptr;
    const TkvDataStorage *Storage = nullptr;
    std::uint64_t Generation = 0;
    const TkvValueDef *Def = nullptr;
    TkvValueTypeClass Type = nullptr;
    StoredKind Stored = StoredKind::None;
    TestKind Test = TestKind::Equal;
    double Number[2] = {0, 0};
    std::vector<double> Numbers;
    NarrowString Text[2];
    std::vector<NarrowString> Texts;
    char Percent = '%';
    char Underscore = '_';
    LikeForm Form = LikeForm::General;

    bool Usable() const { return Stored != StoredKind::None; }
    bool IsCurrent(const TkvCustomDataField *field) const
    {
        return Criteria->Generation() == Generation && field->ValueDef() == Def &&
               Def->ValueTypeClass() == Type;
    }

    bool Like(std::string_view v) const
    {
        switch (Form) {
        case LikeForm::Exact:
            return v == Text[0];
        case LikeForm::BeginsWith:
            return v.substr(0, Text[0].size()) == Text[0];
        case LikeForm::EndsWith:
            return FindAtBoundary(v, Text[0], true);
        case LikeForm::Contains:
            return FindAtBoundary(v, Text[0], false);
        default:
            return MatchLike(v, Text[0], Percent, Underscore);
        }
    }

    //! -1 when the record's value is not in place (Null, no buffer): the general path decides.
    int Run(int recordIndex) const
    {
        // The value's place in the record buffer, read as the storage lays it out.
        const std::byte *buffer = Storage->RecordBuffer(recordIndex);
        if (Def->IsNull(buffer))
            return -1;
        const std::byte *place = buffer + Def->ValueOffset();
        if (Stored == StoredKind::Text) {
            const void *holder = ReadAt<const void *>(place);
            if (!holder)
                return -1;
            return RunText(TkvStringValueType::HeldBytes(holder)) ? 1 : 0;
        }
        double v = 0;
        switch (Stored) {
        case StoredKind::Double:
            v = ReadAt<double>(place);
            break;
        case StoredKind::Int32:
            v = ReadAt<std::int32_t>(place);
            break;
        case StoredKind::Int16:
            v = ReadAt<std::int16_t>(place);
            break;
        case StoredKind::UInt16:
            v = ReadAt<std::uint16_t>(place);
            break;
        case StoredKind::Currency:
            v = double(ReadAt<std::int64_t>(place)) / 10000.0;
            break;
        default:
            return -1;
        }
        return RunNumber(v) ? 1 : 0;
    }

    bool RunNumber(double v) const
    {
        switch (Test) {
        case TestKind::Equal:
            return CompareNumbers(v, Number[0]) == 0;
        case TestKind::NotEqual:
            return CompareNumbers(v, Number[0]) != 0;
        case TestKind::Less:
            return CompareNumbers(v, Number[0]) < 0;
        case TestKind::LessEqual:
            return CompareNumbers(v, Number[0]) <= 0;
        case TestKind::Greater:
            return CompareNumbers(v, Number[0]) > 0;
        case TestKind::GreaterEqual:
            return CompareNumbers(v, Number[0]) >= 0;
        case TestKind::Between:
        case TestKind::NotBetween: {
            const bool inside = CompareNumbers(Number[0], v) <= 0 && CompareNumbers(v, Number[1]) <= 0;
            return Test == TestKind::Between ? inside : !inside;
        }
        case TestKind::InList:
        case TestKind::NotInList: {
            bool found = false;
            for (double element : Numbers)
                if (CompareNumbers(v, element) == 0) {
                    found = true;
                    break;
                }
            return Test == TestKind::InList ? found : !found;
        }
        case TestKind::DateRange:
            return Number[0] <= v && v < Number[1];
        default:
            return false;
        }
    }

    bool RunText(std::string_view v) const
    {
        switch (Test) {
        case TestKind::Equal:
            return v == Text[0];
        case TestKind::NotEqual:
            return v != Text[0];
        case TestKind::Less:
            return CompareTexts(v, Text[0]) < 0;
        case TestKind::LessEqual:
            return CompareTexts(v, Text[0]) <= 0;
        case TestKind::Greater:
            return CompareTexts(v, Text[0]) > 0;
        case TestKind::GreaterEqual:
            return CompareTexts(v, Text[0]) >= 0;
        case TestKind::Like:
            return Like(v);
        case TestKind::NotLike:
            return !Like(v);
        case TestKind::Between:
        case TestKind::NotBetween: {
            const bool inside = CompareTexts(Text[0], v) <= 0 && CompareTexts(v, Text[1]) <= 0;
            return Test == TestKind::Between ? inside : !inside;
        }
        case TestKind::InList:
        case TestKind::NotInList: {
            bool found = false;
            for (const NarrowString &element : Texts)
                if (v == element) {
                    found = true;
                    break;
                }
            return Test == TestKind::InList ? found : !found;
        }
        default:
            return false;
        }
    }
};

TkvDataFilterCriteriaItem::TkvDataFilterCriteriaItem(TkvFilterCriteriaItemList *parent,
                                                     TkvFilterItemLink itemLink,
                                                     TkvFilterOperatorCode operatorKind, const Variant &value,
                                                     const QString &displayValue)
    : TkvFilterCriteriaItem(parent, itemLink, operatorKind, value, displayValue)
{
}

TkvDataFilterCriteriaItem::~TkvDataFilterCriteriaItem() = default;

const TkvDataFilterCriteriaItem::StoredTest *TkvDataFilterCriteriaItem::CurrentStoredTest()
{
    const TkvFilterCriteria *criteria = Criteria();
    const TkvCustomDataField *field = Field();
    if (!criteria || !field)
        return nullptr;
    const TkvValueDef *def = field->ValueDef();
    if (!def)
        return nullptr;
    if (FStoredTest && FStoredTest->Generation == criteria->Generation() && FStoredTest->Def == def &&
        FStoredTest->Type == def->ValueTypeClass())
        return FStoredTest->Usable() ? FStoredTest.get() : nullptr;

    auto test = std::make_unique<StoredTest>();
    test->Criteria = criteria;
    test->Storage = &static_cast<const TkvDataFilterCriteria *>(criteria)->DataController().Storage();
    test->Generation = criteria->Generation();
    test->Def = def;
    test->Type = def->ValueTypeClass();
    test->Percent = criteria->PercentChar();
    test->Underscore = criteria->UnderscoreChar();
    StoredKind stored = StoredKindOf(test->Type);
    Variant k;
    try {
        k = PreparedValue();
    } catch (const Exception &) {
        stored = StoredKind::None; // the general path raises or softens the error
    }
    const TkvFilterOperator &op = Operator();
    const bool nullClass = dynamic_cast<const TkvFilterNullOperator *>(&op) != nullptr ||
                           dynamic_cast<const TkvFilterNotNullOperator *>(&op) != nullptr;
    bool usable = false;
    if (stored != StoredKind::None && !nullClass) {
        const bool text = stored == StoredKind::Text;
        // Case-insensitive tests compare upper-cased texts: the general path does that.
        const bool caseFolding = text && criteria->Options().Contains(fcoCaseInsensitive);
        const TkvFilterOperatorCode code = OperatorKind();
        auto scalar = [&](int slot, const Variant &value) {
            return text ? TextOf(value, test->Text[slot]) : NumberOf(value, test->Number[slot]);
        };
        if (caseFolding) {
            usable = false;
        } else if (code <= ocGreaterEqual) {
            test->Test = TestKind(code);
            usable = scalar(0, k);
        } else if (code == ocLike || code == ocNotLike) {
            test->Test = code == ocLike ? TestKind::Like : TestKind::NotLike;
            if (text && !k.isNull()) {
                try {
                    test->Text[0] = k.toNarrow();
                    test->Form =
                        ClassifyLikeForm(test->Text[0], test->Percent, test->Underscore, test->Text[1]);
                    if (test->Form != LikeForm::General)
                        std::swap(test->Text[0], test->Text[1]); // the literal is what is compared
                    usable = true;
                } catch (const Exception &) {
                    usable = false;
                }
            }
        } else if (code == ocBetween || code == ocNotBetween) {
            test->Test = code == ocBetween ? TestKind::Between : TestKind::NotBetween;
            usable = k.isArray() && k.arrayHighBound() >= 1 && scalar(0, k.at(0)) && scalar(1, k.at(1));
        } else if (code == ocInList || code == ocNotInList) {
            test->Test = code == ocInList ? TestKind::InList : TestKind::NotInList;
            usable = k.isArray();
            if (usable)
                for (const Variant &element : k.elements()) {
                    if (text) {
                        NarrowString t;
                        usable = usable && TextOf(element, t);
                        test->Texts.push_back(std::move(t));
                    } else {
                        double n = 0;
                        usable = usable && NumberOf(element, n);
                        test->Numbers.push_back(n);
                    }
                }
        } else if (const auto *date = dynamic_cast<const TkvFilterDateOperator *>(&op); date && !text) {
            test->Test = TestKind::DateRange;
            test->Number[0] = date->Start();
            test->Number[1] = date->End();
            usable = true;
        }
    }
    test->Stored = usable ? stored : StoredKind::None;
    FStoredTest = std::move(test);
    return FStoredTest->Usable() ? FStoredTest.get() : nullptr;
}

template <typename Visit>
void TkvDataFilterCriteriaItem::TestRecords(int count, int exemptRecord, Visit visit)
{
    const TkvCustomDataField *field = Field();
    const StoredTest *test = field ? CurrentStoredTest() : nullptr;
    for (int recordIndex = 0; recordIndex < count; ++recordIndex) {
        if (recordIndex == exemptRecord) {
            visit(recordIndex, true);
            continue;
        }
        int passes = test ? test->Run(recordIndex) : -1;
        if (passes < 0) {
            passes = Evaluate(recordIndex) ? 1 : 0;
            // The general path may have rebuilt the test (or found the field gone).
            field = Field();
            test = field ? CurrentStoredTest() : nullptr;
        }
        visit(recordIndex, passes != 0);
    }
}

std::size_t TkvDataFilterCriteriaItem::FilterRecords(int count, int exemptRecord, bool negate, int *kept)
{
    std::size_t result = 0;
    TestRecords(count, exemptRecord, [&](int recordIndex, bool passes) {
        if (passes != negate || recordIndex == exemptRecord)
            kept[result++] = recordIndex;
    });
    return result;
}

std::size_t TkvDataFilterCriteriaItem::RefineRecords(int count, int exemptRecord, int *kept,
                                                     std::size_t keptCount)
{
    // Every record is tested, listed or not, as the tree tests every
    // condition of a record: one that cannot be tested raises its error
    // whatever the others say. Each listed record is read before anything
    // is written at or before its place.
    std::size_t next = 0, result = 0;
    TestRecords(count, exemptRecord, [&](int recordIndex, bool passes) {
        if (next < keptCount && kept[next] == recordIndex) {
            ++next;
            if (passes)
                kept[result++] = recordIndex;
        }
    });
    return result;
}

bool TkvDataFilterCriteriaItem::Evaluate(int recordIndex)
{
    if (recordIndex >= 0) {
        const TkvCustomDataField *field = Field();
        const StoredTest *test = FStoredTest.get();
        if (field && (!test || !test->IsCurrent(field)))
            test = CurrentStoredTest();
        if (field && test && test->Usable()) {
            const int result = test->Run(recordIndex);
            if (result >= 0)
                return result != 0;
        }
    }
    return TestValue(GetRecordValue(recordIndex));
}

} // namespace kestrum
