// The custom filter dialog as a window: its controls, texts and tab order,
// and OK and Cancel with real value editors.
#include "filterdialogs/FilterDialog.h"
#include "editors/DateEditProperties.h"
#include "editors/MaskEdit.h"
#include "filter/FilterFixture.h"
#include "filterdialogs/FilterEditHelperRegistry.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kestrum {
namespace {

std::string Rect(const QWidget *widget)
{
    const QRect r = widget->geometry();
    return std::to_string(r.left()) + "," + std::to_string(r.top()) + "," + std::to_string(r.width()) + "," +
           std::to_string(r.height());
}

void Type(TkvCustomEdit &edit, const char *utf8)
{
    for (QChar ch : QString::fromUtf8(utf8))
        // Printable ASCII characters have the key code of their upper case.
        edit.ProcessKey(ch.unicode() < 128 ? ch.toUpper().unicode() : int(Qt::Key_unknown), Qt::NoModifier,
                        QString(ch));
}

class FilterDialogTest : public testing_filter::FilterFixture {
protected:
    FilterDialogTest()
    {
        Filter->OnChanged = [this](TkvFilterCriteria *) { ++Changes; };
    }

    std::unique_ptr<TkvFilterDialog> OpenItemDialog()
    {
        return std::make_unique<TkvFilterDialog>(*Filter, Item(), *FindFilterEditHelper(MaskProperties),
                                                 MaskProperties, TkvStringValueType::Instance(),
                                                 QString::fromUtf8("进帐项"));
    }
    std::unique_ptr<TkvFilterDialog> OpenAmountDialog(TkvValueTypeClass valueType)
    {
        return std::make_unique<TkvFilterDialog>(*Filter, Amount(), *FindFilterEditHelper(MaskProperties),
                                                 MaskProperties, valueType, QString::fromUtf8("金额"));
    }
    static void Choose(QComboBox *box, const char *caption)
    {
        const int index = box->findText(QString::fromUtf8(caption));
        ASSERT_GE(index, 0) << caption;
        box->setCurrentIndex(index);
    }

    TkvMaskEditProperties MaskProperties;
    int Changes = 0;
};

TEST_F(FilterDialogTest, ControlsSitWhereTheFormPutsThemWithTheirTexts)
{
    auto dialog = OpenItemDialog();
    EXPECT_EQ(dialog->windowTitle().toStdString(), "定制搜索");
    EXPECT_EQ(dialog->size(), QSize(414, 175));
    EXPECT_EQ(dialog->lblTitle->text().toStdString(), "显示行：");
    EXPECT_EQ(dialog->lblTitle->pos(), QPoint(8, 8));
    EXPECT_EQ(dialog->lblColumnCaption->text().toStdString(), "进帐项 ");
    EXPECT_EQ(dialog->lblColumnCaption->pos(), QPoint(8, 27));
    EXPECT_EQ(Rect(dialog->bvlLine), "8,34,396,4");
    EXPECT_EQ(Rect(dialog->cbOperator1), "8,46,193,21");
    EXPECT_EQ(Rect(dialog->Edit1), "208,46,193,21");
    EXPECT_EQ(Rect(dialog->rbAnd), "56,74,60,17");
    EXPECT_EQ(Rect(dialog->rbOr), "120,74,65,17");
    EXPECT_EQ(Rect(dialog->cbOperator2), "8,96,193,21");
    EXPECT_EQ(Rect(dialog->Edit2), "208,96,193,21");
    EXPECT_EQ(Rect(dialog->btnOK), "248,144,75,23");
    EXPECT_EQ(Rect(dialog->btnCancel), "330,144,75,23");
    EXPECT_EQ(dialog->lblSingle->pos(), QPoint(8, 134));
    EXPECT_EQ(dialog->lblSeries->pos(), QPoint(8, 153));
    EXPECT_EQ(dialog->rbAnd->text().toStdString(), "与");
    EXPECT_EQ(dialog->rbOr->text().toStdString(), "或");
    EXPECT_TRUE(dialog->rbAnd->isChecked());
    EXPECT_EQ(dialog->btnOK->text().toStdString(), "确定");
    EXPECT_TRUE(dialog->btnOK->isDefault());
    EXPECT_EQ(dialog->btnCancel->text().toStdString(), "退出");
    EXPECT_EQ(dialog->lblSingle->text().toStdString(), "使用 _ 代表单一字符");
    EXPECT_EQ(dialog->lblSeries->text().toStdString(), "使用 % 代表任意连续字符");
    EXPECT_TRUE(dialog->lblSingle->isVisibleTo(dialog.get()));
    EXPECT_FALSE(dialog->lblEdit1PlaceHolder->isVisibleTo(dialog.get()));

    // Texts are not cut off, and the hints end before the buttons start.
    for (QLabel *label : {dialog->lblTitle, dialog->lblColumnCaption, dialog->lblSingle, dialog->lblSeries})
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    EXPECT_LT(dialog->lblSeries->geometry().right(), dialog->btnOK->geometry().left());
    EXPECT_LT(dialog->lblColumnCaption->geometry().bottom(), dialog->cbOperator1->geometry().top());

    ASSERT_EQ(dialog->cbOperator1->count(), 10);
    EXPECT_EQ(dialog->cbOperator1->currentText().toStdString(), "类似");
    EXPECT_EQ(dialog->cbOperator1->itemText(3).toStdString(), "小与等于");
    ASSERT_EQ(dialog->cbOperator2->count(), 11);
    EXPECT_TRUE(dialog->cbOperator2->itemText(0).isEmpty());
    EXPECT_EQ(dialog->cbOperator2->currentIndex(), 0);
    EXPECT_EQ(dialog->cbOperator1->maxVisibleItems(), 10);
}

TEST_F(FilterDialogTest, TabGoesFromEachListToTheEditorBesideIt)
{
    auto dialog = OpenItemDialog();
    const std::pair<QWidget *, const char *> named[] = {
        {dialog->cbOperator1, "op1"}, {dialog->Edit1->InnerWidget(), "edit1"},
        {dialog->rbAnd, "and"},       {dialog->rbOr, "or"},
        {dialog->cbOperator2, "op2"}, {dialog->Edit2->InnerWidget(), "edit2"},
        {dialog->btnOK, "ok"},        {dialog->btnCancel, "cancel"}};
    std::string chain;
    QWidget *widget = dialog->cbOperator1;
    for (int step = 0; step < 40 && chain.size() < 60; ++step) {
        for (const auto &[candidate, name] : named)
            if (candidate == widget)
                chain += std::string(chain.empty() ? "" : " ") + name;
        widget = widget->nextInFocusChain();
        if (widget == dialog->cbOperator1)
            break;
    }
    EXPECT_EQ(chain, "op1 edit1 and or op2 edit2 ok cancel");
}

TEST_F(FilterDialogTest, ChoosingEqualAfterTypingAPatternDropsTheWildcards)
{
    auto dialog = OpenItemDialog();
    Type(*dialog->Edit1, "a%b");
    EXPECT_EQ(dialog->Edit1->DisplayText().toStdString(), "a%b");
    Choose(dialog->cbOperator1, "等于");
    EXPECT_EQ(dialog->Edit1->DisplayText().toStdString(), "ab");
    EXPECT_FALSE(dialog->lblSingle->isVisibleTo(dialog.get()));
    EXPECT_FALSE(dialog->lblSeries->isVisibleTo(dialog.get()));
    Type(*dialog->Edit1, "%");
    EXPECT_EQ(dialog->Edit1->DisplayText().toStdString(), "ab");
    // The second list shows the hints again.
    Choose(dialog->cbOperator2, "不类似");
    EXPECT_TRUE(dialog->lblSeries->isVisibleTo(dialog.get()));
}

TEST_F(FilterDialogTest, OkWithLettersForAnIntegerColumnShowsWrongValueAndStaysOpen)
{
    TMessageBoxRecorder boxes;
    auto dialog = OpenAmountDialog(TkvIntegerValueType::Instance());
    EXPECT_EQ(dialog->cbOperator1->currentText().toStdString(), "等于");
    Type(*dialog->Edit1, "abc");
    EXPECT_FALSE(dialog->ExecuteOK());
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(QString::fromUtf8("|错误值"))) << boxes.Boxes()[0].toStdString();
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(Filter->IsEmptyTree());
    EXPECT_EQ(Changes, 0);

    Choose(dialog->cbOperator1, "类似");
    EXPECT_TRUE(dialog->ExecuteOK());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Filter->CaptionText().toStdString(), "(金额 类似 abc)");
}

TEST_F(FilterDialogTest, CancelLeavesTheCriteriaAsItWas)
{
    Filter->AppendCondition(nullptr, Filter->ResolveItemLink(Item()), ocLike, testing_filter::Text("工%"),
                            "工%");
    const std::string before = Filter->SaveToBytes();
    Changes = 0;
    auto dialog = OpenItemDialog();
    EXPECT_EQ(dialog->Edit1->DisplayText().toStdString(), "工%");
    Choose(dialog->cbOperator1, "等于");
    Choose(dialog->cbOperator2, "为空");
    dialog->rbOr->setChecked(true);
    dialog->btnCancel->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(Filter->SaveToBytes(), before);
    EXPECT_EQ(Changes, 0);
}

TEST_F(FilterDialogTest, ReopensTheOrListInTheControls)
{
    const TkvFilterItemLink amount = Filter->ResolveItemLink(Amount());
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcOr);
    Filter->AppendCondition(list, amount, ocLess, Variant(5.0), "5");
    Filter->AppendCondition(list, amount, ocGreater, Variant(50.0), "50");
    auto dialog = OpenAmountDialog(TkvFloatValueType::Instance());
    EXPECT_EQ(dialog->cbOperator1->currentText().toStdString(), "小于");
    EXPECT_EQ(dialog->Edit1->DisplayText().toStdString(), "5");
    EXPECT_EQ(dialog->cbOperator2->currentText().toStdString(), "大于");
    EXPECT_EQ(dialog->Edit2->DisplayText().toStdString(), "50");
    EXPECT_TRUE(dialog->rbOr->isChecked());
    dialog->rbAnd->setChecked(true);
    EXPECT_TRUE(dialog->ExecuteOK());
    EXPECT_EQ(Filter->CaptionText().toStdString(), "((金额 < 5) 与 (金额 > 50))");
}

TEST_F(FilterDialogTest, ShowRunsTheDialogModallyAndAnswersWhetherOkApplied)
{
    test::OffscreenSizeHintsFilter sizeHints;
    TkvDateEditProperties dateProperties;
    int applied = 0;
    QTimer::singleShot(0, [&] {
        auto *dialog = dynamic_cast<TkvFilterDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->cbOperator1->count(), 8);
        dialog->cbOperator1->setCurrentIndex(dialog->cbOperator1->findText(QString::fromUtf8("不为空")));
        dialog->btnOK->click();
    });
    EXPECT_TRUE(ShowCustomFilterDialog(*Filter, Date(), dateProperties, TkvDateTimeValueType::Instance(),
                                       QString::fromUtf8("日期"), nullptr, [&] { ++applied; }));
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(Filter->CaptionText().toStdString(), "(日期 <> 空)");

    QTimer::singleShot(0, [] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            static_cast<QDialog *>(dialog)->reject();
    });
    EXPECT_FALSE(ShowCustomFilterDialog(*Filter, Date(), dateProperties, TkvDateTimeValueType::Instance(),
                                        QString::fromUtf8("日期")));
    EXPECT_EQ(applied, 1);

    // No helper for the editor kind, or a column the criteria does not know: no dialog at all.
    bool shown = false;
    auto watch = [&] {
        QTimer::singleShot(0, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                shown = true;
                dialog->reject();
            }
        });
    };
    TkvCustomEditProperties plain;
    watch();
    EXPECT_FALSE(ShowCustomFilterDialog(*Filter, Date(), plain, TkvDateTimeValueType::Instance(), "日期"));
    QApplication::processEvents();
    watch();
    int unknownColumn = 0;
    EXPECT_FALSE(ShowCustomFilterDialog(*Filter, &unknownColumn, dateProperties,
                                        TkvDateTimeValueType::Instance(), "日期"));
    QApplication::processEvents();
    EXPECT_FALSE(shown);
}

} // namespace
} // namespace kestrum
