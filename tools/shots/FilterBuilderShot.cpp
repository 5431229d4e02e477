// Renders the filter builder dialog into a PNG file without a screen: the
// builder is opened over the income record set of Vantorel.mdb in the working
// folder (as the navigator's Filter button opens it) with a condition, a group
// of two conditions and the focus on a value. scripts/screenshot-filter-builder.sh
// drives it.
//
//   kestrum-filtershot OUTPUT.png
#include "core/RegionalSettings.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "filterdialogs/FilterBuilderDialog.h"
#include "filterdialogs/FilterLink.h"
#include "filterdialogs/NavigatorFilterLink.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

using namespace kestrum;

namespace {

int ItemNamed(const TkvFilterLink &link, const char *caption)
{
    for (int i = 0; i < link.ItemCount(); ++i)
        if (link.ItemCaption(i) == QString::fromUtf8(caption))
            return i;
    return 0;
}

TkvFilterControlConditionRow &AddCondition(TkvFilterControlModel &model, TkvFilterControlGroupRow &group,
                                           const char *field, TkvFilterDialogOperator op)
{
    TkvFilterControlConditionRow &condition = *model.AddCondition(group);
    model.SetConditionItem(condition, ItemNamed(*model.Link(), field));
    model.SetConditionOperator(condition, op);
    return condition;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrum-filtershot OUTPUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    RegisterFontSubstitutions();

    TDbConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                   QDir::current().filePath(QStringLiteral("Vantorel.mdb")) +
                                   ";Persist Security Info=True");
    TDbQuery query;
    query.SetConnection(&connection);
    query.AddSQL("select * from gain");
    try {
        query.Open();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    TkvNavigatorFilterLink link(query);
    TfmFilterControlDialog dialog(link, nullptr);
    TkvFilterControlModel &model = dialog.FilterControl().Model();
    TkvFilterControlConditionRow &item = AddCondition(model, model.Root(), "进帐人", fdoLike);
    model.PostValue(item, 0, Variant::fromUtf8("工%"), QString::fromUtf8("工%"));
    TkvFilterControlGroupRow *group = model.AddGroup(model.Root());
    group->SetBoolCode(bcOr);
    // The group comes with a condition of its own: it takes the amount.
    auto &amount = *static_cast<TkvFilterControlConditionRow *>(group->Rows(0));
    model.SetConditionItem(amount, ItemNamed(link, "本次进帐"));
    model.SetConditionOperator(amount, fdoBetween);
    model.PostValue(amount, 0, Variant::fromUtf8("100"), QStringLiteral("100"));
    model.PostValue(amount, 1, Variant::fromUtf8("500"), QStringLiteral("500"));
    AddCondition(model, *group, "进帐时间", fdoThisMonth);
    TkvFilterControlConditionRow &remark = AddCondition(model, *group, "备注", fdoInList);
    model.PostValue(remark, 0, Variant::fromUtf8("奖金"), QString::fromUtf8("奖金"));
    model.AddValue(remark);
    model.SetFocus({&amount, TkvFilterControlPartKind::Value, 1});

    dialog.show();
    dialog.FilterControl().setFocus();
    QApplication::processEvents();
    const QString file = QString::fromLocal8Bit(argv[1]);
    if (!dialog.grab().save(file, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
}
