// Feeds arbitrary bytes to the criteria stream reader of a data criteria
// over a controller with three columns. A malformed stream must raise the
// stream read error and leave the criteria as it was; a stream that reads
// must write back to bytes that read and write again unchanged, and the
// tree must evaluate and render without crashing.
#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "data/DataController.h"
#include "filter/DataFilterCriteria.h"

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

struct Columns : IkvDataControllerOwner {
    int Items[3] = {};
    int ItemID(TkvDataItem item) const override { return int(static_cast<const int *>(item) - Items); }
    TkvDataItem ItemByID(int id) const override
    {
        return id >= 0 && id < 3 ? const_cast<int *>(&Items[id]) : nullptr;
    }
};

struct World {
    Columns Owner;
    TkvCustomDataController Controller{&Owner};
    TkvDataFilterCriteria *Criteria = nullptr;

    World()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        Controller.AttachItem(&Owner.Items[0])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Owner.Items[1])->SetValueTypeClass(TkvDateTimeValueType::Instance());
        Controller.AttachItem(&Owner.Items[2])->SetValueTypeClass(TkvStringValueType::Instance());
        for (int r = 0; r < 3; ++r) {
            const int record = Controller.AppendRecord();
            if (r == 2)
                continue; // all Null
            Controller.SetValue(record, 0, Variant(10.0 * r));
            Controller.SetValue(record, 1, Variant::fromDate(45000.0 + r));
            Controller.SetValue(record, 2, Variant::fromUtf8(r ? "工资" : "abc"));
        }
        auto criteria = std::make_unique<TkvDataFilterCriteria>(Controller);
        Criteria = criteria.get();
        Criteria->SetTodayFunction([] { return 45001.0; });
        Criteria->SetOptions({fcoSoftCompare});
        Controller.AdoptFilter(std::move(criteria));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static World world;
    TkvDataFilterCriteria &criteria = *world.Criteria;
    criteria.SetActive(false);
    criteria.ClearTree();
    criteria.AppendCondition(nullptr, &world.Owner.Items[2], ocLike, Variant::fromUtf8("%工%"), "工");
    const std::string before = criteria.SaveToBytes();

    const std::string bytes(reinterpret_cast<const char *>(data), size);
    try {
        criteria.LoadFromBytes(bytes);
    } catch (const EReadError &) {
        Check(criteria.SaveToBytes() == before);
        return 0;
    }
    const std::string written = criteria.SaveToBytes();
    criteria.LoadFromBytes(written);
    Check(criteria.SaveToBytes() == written);
    (void)criteria.CaptionText();
    (void)criteria.ExpressionText();
    try {
        criteria.SetActive(true); // evaluates every record
    } catch (const Exception &) {
        // variant errors of a soft-compared tree cannot happen; others may
    }
    Check(world.Controller.RowCount() <= world.Controller.RecordCount());
    return 0;
}
