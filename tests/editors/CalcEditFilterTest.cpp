// The calculator edit's character filter.
#include "editors/CalcEditFilter.h"
#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

//! Types script into an empty text at the end; the text that results.
std::string TypeInto(const QString &script, int precision = 13, QString text = QString())
{
    for (QChar ch : script) {
        QChar typed = ch;
        if (CalcEditAcceptsChar(text, int(text.size()), 0, typed, precision))
            text += typed;
    }
    return text.toStdString();
}

class CalcEditFilterTest : public testing::Test {
protected:
    void SetUp() override { setRegionalSettings(RegionalSettings::simplifiedChinese()); }
};

TEST_F(CalcEditFilterTest, AcceptsNumbersAndRefusesTheRest)
{
    EXPECT_EQ(TypeInto("1.2.3"), "1.23");
    EXPECT_EQ(TypeInto("1,5"), "1.5");
    EXPECT_EQ(TypeInto("-12a"), "-12");
    EXPECT_EQ(TypeInto("+"), "");
    EXPECT_EQ(TypeInto("."), "");
    EXPECT_EQ(TypeInto("12345678901234"), "1234567890123");
    EXPECT_EQ(TypeInto("1.12345678901234", 4), "1.123");
    // "1E" alone is no number, so an exponent is typed into the middle.
    EXPECT_EQ(TypeInto("1E5"), "15");
}

TEST_F(CalcEditFilterTest, ChecksTheTextWithTheSelectionReplaced)
{
    QChar e('E');
    EXPECT_TRUE(CalcEditAcceptsChar("15", 1, 0, e, 13));
    QChar minus('-');
    EXPECT_TRUE(CalcEditAcceptsChar("12", 0, 2, minus, 13));
    QChar digit('9');
    EXPECT_TRUE(CalcEditAcceptsChar("1234567890123", 0, 1, digit, 13));
    QChar huge('9');
    EXPECT_FALSE(CalcEditAcceptsChar("1E30", 3, 0, huge, 13));
    QChar tiny('9');
    EXPECT_FALSE(CalcEditAcceptsChar("1E-32", 4, 0, tiny, 13));
    QChar zero('0');
    EXPECT_TRUE(CalcEditAcceptsChar("0E-32", 4, 0, zero, 13));
    QChar control(8);
    EXPECT_TRUE(CalcEditAcceptsChar("", 0, 0, control, 13));
}

TEST_F(CalcEditFilterTest, FollowsTheDecimalSeparatorOfTheSettings)
{
    RegionalSettings settings = RegionalSettings::simplifiedChinese();
    settings.decimalSeparator = ',';
    settings.thousandSeparator = '.';
    setRegionalSettings(settings);
    EXPECT_EQ(TypeInto("1.5"), "1,5");
    setRegionalSettings(RegionalSettings::simplifiedChinese());
}

} // namespace
