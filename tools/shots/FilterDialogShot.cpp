// Renders the custom filter dialog of the income page's item column into
// PNG files, without a screen: the ledger window is built and loaded as at
// start-up (on Vantorel.mdb in the working folder), the dialog is opened for
// the item column, filled with two conditions and applied.
// scripts/screenshot-filter-dialog.sh drives it.
//
//   kestrum-filterdialogshot OUTPUT_PREFIX   writes OUTPUT_PREFIX-opened.png (the dialog as it
//       opens), -filled.png (two conditions entered), -over-grid.png (the filled dialog over the
//       window), -filtered.png (the window after OK) and -date.png (the date column's dialog)
#include "app/EntryPage.h"
#include "core/RegionalSettings.h"
#include "editors/CustomEdit.h"
#include "filter/DataFilterCriteria.h"
#include "filterdialogs/FilterDialog.h"
#include "filterdialogs/FilterEditHelperRegistry.h"
#include "grid/GridColumn.h"
#include "grid/GridFilterLink.h"
#include "grid/GridTableView.h"
#include "shots/ShotWindow.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>

#include <cstdio>

using namespace kestrum;

namespace {

void Type(TkvCustomEdit &edit, const QString &text)
{
    for (QChar ch : text)
        edit.ProcessKey(ch.unicode() < 128 ? ch.toUpper().unicode() : int(Qt::Key_unknown), Qt::NoModifier,
                        QString(ch));
}

//! The dialog's picture in a plain window frame (the offscreen platform draws none).
QPixmap Framed(const QPixmap &client, const QString &caption)
{
    const int border = 3;
    const int titleHeight = 20;
    QPixmap framed(client.width() + 2 * border, client.height() + titleHeight + 2 * border);
    framed.fill(QColor(212, 208, 200));
    QPainter painter(&framed);
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(framed.rect().adjusted(0, 0, -1, -1));
    painter.fillRect(QRect(border, border, client.width(), titleHeight), QColor(10, 36, 106));
    painter.setPen(Qt::white);
    painter.setFont(DesignFont(SongTiFamily(), 12, true));
    painter.drawText(QRect(border + 4, border, client.width() - 8, titleHeight), Qt::AlignVCenter, caption);
    painter.drawPixmap(border, border + titleHeight, client);
    return framed;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrum-filterdialogshot OUTPUT_PREFIX\n");
        return 2;
    }
    QApplication app(argc, argv);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    RegisterFontSubstitutions();

    TShotWindow shot;
    TForm1 &window = shot.Window;
    window.N3Click();
    QApplication::processEvents();

    auto *page = qobject_cast<TEntryPage *>(window.IncomePage);
    TkvDataFilterCriteria *criteria = page ? page->View->Filter() : nullptr;
    if (!criteria) {
        std::fprintf(stderr, "the income page has no grid filter\n");
        return 1;
    }
    TkvGridFilterLink link(*page->View);
    const int itemIndex = page->Columns[1]->Index();
    const TkvCustomEditProperties &properties = *link.ItemProperties(itemIndex);
    const TkvCustomFilterEditHelper *helper = FindFilterEditHelper(properties);
    if (!helper) {
        std::fprintf(stderr, "no filter edit helper for the item column\n");
        return 1;
    }
    TkvFilterDialog dialog(link.Criteria(), link.ItemLink(itemIndex), *helper, properties,
                           link.ItemValueTypeClass(itemIndex), link.ItemCaption(itemIndex), &window);
    dialog.Model().OnApplying = [criteria] { criteria->SetActive(true); };
    dialog.show();
    QApplication::processEvents();

    const QString prefix = QString::fromLocal8Bit(argv[1]);
    if (!SavePicture(dialog.grab(), prefix + "-opened.png"))
        return 1;

    Type(*dialog.Edit1, QString::fromUtf8("工%"));
    dialog.cbOperator2->setCurrentIndex(dialog.cbOperator2->findText(QString::fromUtf8("等于")));
    Type(*dialog.Edit2, QString::fromUtf8("奖金"));
    dialog.rbOr->setChecked(true);
    QApplication::processEvents();
    const QPixmap filled = dialog.grab();
    if (!SavePicture(filled, prefix + "-filled.png"))
        return 1;

    QPixmap over = window.grab();
    {
        const QPixmap framed = Framed(filled, dialog.windowTitle());
        QPainter painter(&over);
        painter.drawPixmap((over.width() - framed.width()) / 2, (over.height() - framed.height()) / 2,
                           framed);
    }
    if (!SavePicture(over, prefix + "-over-grid.png"))
        return 1;

    if (!dialog.ExecuteOK()) {
        std::fprintf(stderr, "the dialog refused its values\n");
        return 1;
    }
    QApplication::processEvents();
    if (!SavePicture(window.grab(), prefix + "-filtered.png"))
        return 1;

    // The date column's dialog: a date edit with its drop-down beside each list.
    const int dateIndex = page->Columns[2]->Index();
    const TkvCustomEditProperties &dateProperties = *link.ItemProperties(dateIndex);
    TkvFilterDialog dateDialog(link.Criteria(), link.ItemLink(dateIndex),
                               *FindFilterEditHelper(dateProperties), dateProperties,
                               link.ItemValueTypeClass(dateIndex), link.ItemCaption(dateIndex), &window);
    dateDialog.show();
    QApplication::processEvents();
    return SavePicture(dateDialog.grab(), prefix + "-date.png") ? 0 : 1;
}
