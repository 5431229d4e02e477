#include "ui/Accelerator.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(Accelerator, MarkerAndLiteralAmpersands)
{
    struct Case {
        const char *caption;
        const char *shown;
        QChar accelerator;
    };
    const Case cases[] = {
        {"&Data", "Data", QChar('D')},
        {"Save && &Quit", "Save & Quit", QChar('Q')},
        {"No marker", "No marker", QChar()},
        {"Ends with &", "Ends with ", QChar()},
        {"&&x", "&x", QChar()},
        {"&统计", "统计", QChar(0x7EDF)},
    };
    for (const Case &c : cases) {
        const QString caption = QString::fromUtf8(c.caption);
        EXPECT_EQ(StripAccelerator(caption), QString::fromUtf8(c.shown)) << c.caption;
        EXPECT_EQ(AcceleratorChar(caption), c.accelerator) << c.caption;
    }
    EXPECT_TRUE(IsAccelerator(QChar('d'), "&Data"));
    EXPECT_FALSE(IsAccelerator(QChar('a'), "&Data"));
    EXPECT_FALSE(IsAccelerator(QChar(), "No marker"));
}

} // namespace
} // namespace kestrum
