#include "ui/Translations.h"
#include "ui/MessageBox.h"

#include "support/OffscreenSizeHintsFilter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

bool HasChinese(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

// Qt's catalogue stays installed only for the test that asks for it: the
// other tests of this program read English texts of their own.
class QtTranslations : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallQtTranslations(*qApp))
            << "Qt's Chinese catalogue (package qt6-translations-l10n) is not in "
            << QtTranslationsFolder().toStdString();
    }
    void TearDown() override
    {
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
};

TEST_F(QtTranslations, QtsOwnDialogsSpeakChinese)
{
    // The file dialog's labels and the standard buttons came out in English.
    EXPECT_TRUE(HasChinese(QCoreApplication::translate("QFileDialog", "Look in:")));
    EXPECT_TRUE(HasChinese(QCoreApplication::translate("QFileDialog", "File &name:")));
    EXPECT_TRUE(HasChinese(QCoreApplication::translate("QFileDialog", "Files of type:")));
    QDialogButtonBox buttons(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    EXPECT_TRUE(HasChinese(buttons.button(QDialogButtonBox::Save)->text()));
    EXPECT_TRUE(HasChinese(buttons.button(QDialogButtonBox::Cancel)->text()));
}

TEST_F(QtTranslations, TextsTheProgramSetsStayExactlyAsGiven)
{
    const test::OffscreenSizeHintsFilter sizeHints;
    QStringList seen;
    QTimer::singleShot(0, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton *button : box->buttons())
            seen << button->text();
        box->buttons().front()->click();
    });
    TMessageBoxRequest request;
    request.Text = QStringLiteral("Delete record?");
    request.Caption = QStringLiteral("Confirm");
    request.Icon = miQuestion;
    request.Buttons = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    EXPECT_EQ(ShowMessageBox(nullptr, request), 0);
    seen.sort();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Cancel"), QStringLiteral("OK")}));
}

} // namespace
} // namespace kestrum
