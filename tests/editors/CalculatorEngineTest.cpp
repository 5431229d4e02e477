// The calculator's state machine: key sequences and what the display shows.
#include "editors/CalculatorEngine.h"
#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "editors/CalculatorLayout.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

class CalculatorTest : public testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        FEngine.OnBeep = [this] { ++FBeeps; };
        FEngine.Reset();
    }

    //! Presses the keys of a script ("s" sqrt, "r" 1/x, "n" +/-, "b" Back,
    //! "c" C, "e" CE, "M" MS, "P" M+, "R" MR, "L" MC, others by character)
    //! and answers the display.
    std::string Press(const std::string &script)
    {
        for (char key : script) {
            TkvCalcButton button = cbNone;
            switch (key) {
            case 's':
                button = cbSqrt;
                break;
            case 'r':
                button = cbRev;
                break;
            case 'n':
                button = cbSign;
                break;
            case 'b':
                button = cbBack;
                break;
            case 'c':
                button = cbClear;
                break;
            case 'e':
                button = cbCancelEntry;
                break;
            case 'M':
                button = cbMS;
                break;
            case 'P':
                button = cbMP;
                break;
            case 'R':
                button = cbMR;
                break;
            case 'L':
                button = cbMC;
                break;
            default:
                button = TkvCalculatorEngine::ButtonForChar(QChar(key));
            }
            FEngine.PerformKey(button);
        }
        return FEngine.Display().toStdString();
    }

    TkvCalculatorEngine FEngine;
    int FBeeps = 0;
};

TEST_F(CalculatorTest, OperatorsComputeThePendingOperation)
{
    EXPECT_EQ(Press("12+3="), "15");
    EXPECT_EQ(Press("c12+="), "12");
    EXPECT_EQ(Press("c2*3+"), "6");
    EXPECT_EQ(Press("4="), "10");
    EXPECT_EQ(Press("c1/3="), "0.3333333333333");
    EXPECT_EQ(Press("c0.1+0.2="), "0.3");
    EXPECT_EQ(Press("c07"), "7");
    // A second operator replaces the first.
    EXPECT_EQ(Press("c9-*2="), "18");
}

TEST_F(CalculatorTest, PercentFollowsThePendingOperator)
{
    EXPECT_EQ(Press("200+10%"), "220");
    EXPECT_EQ(Press("="), "220");
    EXPECT_EQ(Press("c200*10%"), "20");
    EXPECT_EQ(Press("c200-10%"), "180");
    EXPECT_EQ(Press("c50/10%"), "500");
    EXPECT_EQ(Press("c50%"), "50");
}

TEST_F(CalculatorTest, SquareRootBecomesTheRightOperand)
{
    EXPECT_EQ(Press("9+16s="), "13");
    EXPECT_EQ(Press("c16s"), "4");
    EXPECT_EQ(Press("5"), "5");
    EXPECT_EQ(Press("c4r"), "0.25");
}

TEST_F(CalculatorTest, ErrorsHoldUntilCleared)
{
    EXPECT_EQ(Press("5/0="), "错误");
    EXPECT_EQ(FBeeps, 1);
    EXPECT_EQ(Press("7+"), "错误");
    EXPECT_EQ(FEngine.State(), csError);
    EXPECT_EQ(Press("e"), "0");
    EXPECT_EQ(Press("2n=s"), "错误");
    EXPECT_EQ(Press("c0r"), "错误");
    // An overflow is an error too, not an infinite number.
    FEngine.Paste("1E300");
    EXPECT_EQ(Press("*"), "1E300");
    FEngine.Paste("1E300");
    EXPECT_EQ(Press("="), "错误");
}

TEST_F(CalculatorTest, DigitsStopAtThePrecision)
{
    EXPECT_EQ(Press("1234567890123"), "1234567890123");
    EXPECT_EQ(FBeeps, 0);
    EXPECT_EQ(Press("4"), "1234567890123");
    EXPECT_EQ(FBeeps, 1);
    // The minus sign does not count.
    EXPECT_EQ(Press("n4"), "-1234567890123");
    FEngine.SetPrecision(3);
    EXPECT_EQ(Press("c12345"), "123");
}

TEST_F(CalculatorTest, BackAndSignEditTheNumber)
{
    EXPECT_EQ(Press("5nb"), "0");
    EXPECT_EQ(Press("c123bb"), "1");
    EXPECT_EQ(Press("b"), "0");
    EXPECT_EQ(Press("c1.5n"), "-1.5");
    EXPECT_EQ(Press("c..5"), "0.5");
    EXPECT_EQ(Press("c0n"), "0");
}

TEST_F(CalculatorTest, MemoryKeysAndTheirDisabledState)
{
    EXPECT_TRUE(FEngine.IsButtonDisabled(cbMR));
    EXPECT_EQ(Press("5M"), "5");
    EXPECT_FALSE(FEngine.IsButtonDisabled(cbMC));
    EXPECT_EQ(Press("3P+R="), "11");
    EXPECT_DOUBLE_EQ(FEngine.Memory(), 8);
    EXPECT_EQ(Press("L"), "11");
    EXPECT_TRUE(FEngine.IsButtonDisabled(cbMC));
    EXPECT_FALSE(FEngine.IsButtonDisabled(cbSqrt));
}

TEST_F(CalculatorTest, PasteDropsTheCurrencySymbol)
{
    FEngine.Paste(" ￥12.50 ");
    EXPECT_EQ(FEngine.Display().toStdString(), "12.5");
    EXPECT_EQ(FEngine.State(), csValid);
    EXPECT_EQ(Press("+1="), "13.5");
    FEngine.Paste("abc");
    EXPECT_EQ(FEngine.Display().toStdString(), "0");
}

TEST_F(CalculatorTest, DisplayTextThatIsNoNumberRaises)
{
    FEngine.SetDisplay = nullptr;
    QString text = "abc";
    FEngine.GetDisplay = [&] { return text; };
    FEngine.SetDisplay = [&](const QString &value) { text = value; };
    EXPECT_THROW(FEngine.PerformKey(cbAdd), Exception);
    text = " ";
    FEngine.PerformKey(cbAdd);
    EXPECT_EQ(text.toStdString(), " ");
}

TEST_F(CalculatorTest, GeneralFormatSwitchesToScientific)
{
    EXPECT_EQ(FormatGeneralFloat(1e20, 13).toStdString(), "1E20");
    EXPECT_EQ(FormatGeneralFloat(-1.5e-7, 13).toStdString(), "-1.5E-7");
    EXPECT_EQ(FormatGeneralFloat(0.00001, 13).toStdString(), "0.00001");
    EXPECT_EQ(FormatGeneralFloat(1234567890123.0, 13).toStdString(), "1234567890123");
    EXPECT_EQ(FormatGeneralFloat(12345678901234.0, 13).toStdString(), "1.234567890123E13");
    EXPECT_EQ(FormatGeneralFloat(2.0 / 3.0, 15).toStdString(), "0.666666666666667");
}

TEST_F(CalculatorTest, KeyboardMapsKeysAndCharacters)
{
    EXPECT_EQ(TkvCalculatorEngine::ButtonForChar('@'), cbSqrt);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForChar('.'), cbDecimal);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForChar(QChar(8)), cbBack);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForChar('x'), cbNone);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForKey(Qt::Key_Return, Qt::NoModifier), cbEqual);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForKey(Qt::Key_Escape, Qt::NoModifier), cbClear);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForKey(Qt::Key_Delete, Qt::NoModifier), cbCancelEntry);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForKey(Qt::Key_R, Qt::NoModifier), cbRev);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForKey(Qt::Key_R, Qt::ControlModifier), cbMR);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForKey(Qt::Key_C, Qt::ControlModifier), cbNone);
    EXPECT_EQ(TkvCalculatorEngine::ButtonForKey(Qt::Key_F9, Qt::NoModifier), cbSign);
}

std::string Rect(const TkvCalculatorLayout &layout, TkvCalcButton button)
{
    QRect r = layout.Button(button).Rect;
    return std::to_string(r.left()) + ".." + std::to_string(r.left() + r.width()) + "," +
           std::to_string(r.top()) + ".." + std::to_string(r.top() + r.height());
}

TEST_F(CalculatorTest, LayoutAtBaseMetrics)
{
    TkvCalculatorLayout layout;
    EXPECT_EQ(Rect(layout, cbBack), "46..93,3..25");
    EXPECT_EQ(Rect(layout, cbCancelEntry), "96..143,3..25");
    EXPECT_EQ(Rect(layout, cbClear), "146..193,3..25");
    EXPECT_EQ(Rect(layout, cbMC), "3..31,28..50");
    EXPECT_EQ(Rect(layout, cbNum7), "41..69,28..50");
    EXPECT_EQ(Rect(layout, cbSqrt), "165..193,28..50");
    EXPECT_EQ(Rect(layout, cbPercent), "165..193,53..75");
    EXPECT_EQ(Rect(layout, cbDecimal), "103..131,103..125");
    EXPECT_EQ(Rect(layout, cbEqual), "165..193,103..125");
    EXPECT_EQ(layout.Button(cbEqual).Color, QColor(255, 0, 0));
    EXPECT_EQ(layout.Button(cbSqrt).Color, QColor(0, 0, 128));
    EXPECT_EQ(layout.ButtonAt(QPoint(50, 30)), cbNum7);
    EXPECT_EQ(layout.ButtonAt(QPoint(35, 30)), cbNone);
}

TEST_F(CalculatorTest, LayoutScalesWithTheKeyHeight)
{
    TkvCalculatorMetrics metrics = TkvCalculatorLayout::MetricsFor(44);
    EXPECT_EQ(metrics.KeyWidth, 56);
    EXPECT_EQ(metrics.Gap, 6);
    EXPECT_EQ(metrics.WideKeyWidth, 95);
    EXPECT_EQ(metrics.FontHeight, 16);
    EXPECT_EQ(metrics.Size, QSize(6 * 56 + 8 * 6 + 4, 5 * 44 + 6 * 6));
    EXPECT_EQ(TkvCalculatorLayout::FitKeyHeight(QSize(100, 50)), 22);
    EXPECT_EQ(TkvCalculatorLayout::FitKeyHeight(QSize(1000, 256)), 44);
}

} // namespace
