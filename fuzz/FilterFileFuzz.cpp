// Feeds arbitrary bytes to the ".flt" reader of the filter builder, over a
// link with three items. A file that does not read must leave the criteria as
// it was; one that reads must write back to bytes that read the same, and the
// builder must show it (or refuse it cleanly) and build, caption and save
// again without crashing.
#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "filter/FilterCriteriaTree.h"
#include "filterdialogs/FilterControlModel.h"
#include "filterdialogs/FilterFile.h"
#include "filterdialogs/FilterLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrum;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

struct ItemsLink : TkvFilterLink {
    int Items[3] = {};
    TkvFilterCriteria Target;
    int ItemCount() const override { return 3; }
    QString ItemCaption(int index) const override { return QStringLiteral("item%1").arg(index); }
    QString ItemFieldName(int index) const override { return QStringLiteral("field%1").arg(index); }
    // No editor properties: every item gets the text editor's operators.
    TkvCustomEditProperties *ItemProperties(int) const override { return nullptr; }
    TkvValueTypeClass ItemValueTypeClass(int index) const override
    {
        return index == 0   ? static_cast<TkvValueTypeClass>(TkvFloatValueType::Instance())
               : index == 1 ? static_cast<TkvValueTypeClass>(TkvDateTimeValueType::Instance())
                            : TkvStringValueType::Instance();
    }
    int ItemID(int index) const override { return index; }
    TkvFilterItemLink ItemLink(int index) const override { return const_cast<int *>(&Items[index]); }
    TkvFilterCriteria &Criteria() override { return Target; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const bool settings = [] {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        return true;
    }();
    (void)settings;
    static ItemsLink link;
    const std::string bytes(reinterpret_cast<const char *>(data), size);

    TkvFilterControlCriteria criteria(&link);
    criteria.SetTodayFunction([] { return 45001.0; });
    const std::string before = criteria.SaveToBytes();
    if (!ParseFilterStream(bytes, criteria)) {
        Check(criteria.SaveToBytes() == before);
        return 0;
    }
    const std::string written = criteria.SaveToBytes();
    TkvFilterControlCriteria again(&link);
    Check(bool(ParseFilterStream(written, again)));
    Check(again.SaveToBytes() == written);
    (void)criteria.CaptionText();
    (void)criteria.ExpressionText();

    TkvFilterControlModel model(&link);
    model.AddCondition(model.Root());
    const std::string rows = model.RowsText().toStdString();
    try {
        model.ReadTreeStream(bytes);
    } catch (const EkvFilterControlError &) {
        Check(!criteria.AllItemsResolved());
        Check(model.RowsText().toStdString() == rows);
        return 0;
    }
    Check(criteria.AllItemsResolved());
    (void)model.RowsText();
    (void)model.FilterCaption();
    const std::string saved = model.WriteTreeStream();
    TkvFilterControlCriteria reread(&link);
    Check(bool(ParseFilterStream(saved, reread)));
    model.ReadTreeStream(saved);
    return 0;
}
