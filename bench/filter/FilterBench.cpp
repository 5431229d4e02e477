// Filtering a generated ledger of a million rows, side by side: our data
// controller re-filtering after a criteria change, a plain loop calling the
// same LIKE matcher over the same strings (the floor), and
// QSortFilterProxyModel with a QRegularExpression over a QStandardItemModel
// holding the same item texts (what a Qt program would use).
// KESTRUM_BENCH_ROWS changes the size.
#include "core/DateTime.h"
#include "core/LikeMatch.h"
#include "core/RegionalSettings.h"
#include "data/DataController.h"
#include "filter/DataFilterCriteria.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace kestrum;

namespace {

const char *const ItemNames[] = {"工资", "奖金", "餐饮", "房租", "交通", "水电", "通讯",
                                 "服装", "医疗", "教育", "娱乐", "礼金", "利息", "保险",
                                 "日用", "旅游", "书报", "维修", "宠物", "其他", "加工费"};

int RowCount()
{
    const char *text = std::getenv("KESTRUM_BENCH_ROWS");
    return text ? std::max(1, std::atoi(text)) : 1000000;
}

struct Ledger {
    std::vector<double> Amounts;
    std::vector<double> Dates;
    std::vector<std::string> Items; // GB18030 bytes
};

const Ledger &Rows()
{
    static const Ledger ledger = [] {
        std::mt19937 random(2026);
        Ledger result;
        const int count = RowCount();
        std::vector<std::string> names;
        for (const char *name : ItemNames)
            names.push_back(Variant::fromUtf8(name).rawNarrow());
        for (int i = 0; i < count; ++i) {
            result.Amounts.push_back(double(random() % 1000000) / 100.0);
            result.Dates.push_back(40000.0 + double(random() % 5000));
            result.Items.push_back(names[random() % names.size()]);
        }
        return result;
    }();
    return ledger;
}

int Columns[3] = {};
const double Today = EncodeDate(2020, 6, 1);

//! The controller with every row loaded and its criteria.
struct Model {
    TkvCustomDataController Controller;
    TkvDataFilterCriteria *Filter = nullptr;

    Model()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        Controller.AttachItem(&Columns[0])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[1])->SetValueTypeClass(TkvDateTimeValueType::Instance());
        Controller.AttachItem(&Columns[2])->SetValueTypeClass(TkvStringValueType::Instance());
        auto criteria = std::make_unique<TkvDataFilterCriteria>(Controller);
        Filter = criteria.get();
        Filter->SetTodayFunction([] { return Today; });
        Controller.AdoptFilter(std::move(criteria));
        const Ledger &ledger = Rows();
        const int count = int(ledger.Items.size());
        Controller.BeginBatch();
        Controller.SetRecordCount(count);
        TkvDataStorage &storage = Controller.Storage();
        const TkvValueDef *defs[3] = {Controller.GetItemField(0)->ValueDef(),
                                      Controller.GetItemField(1)->ValueDef(),
                                      Controller.GetItemField(2)->ValueDef()};
        for (int r = 0; r < count; ++r) {
            storage.SetValue(r, defs[0], Variant(ledger.Amounts[std::size_t(r)]));
            storage.SetValue(r, defs[1], Variant::fromDate(ledger.Dates[std::size_t(r)]));
            storage.SetValue(r, defs[2], Variant::fromNarrow(ledger.Items[std::size_t(r)]));
        }
        Controller.EndBatch();
    }
};

Model &TheModel()
{
    static Model model;
    return model;
}

//! Re-filters the loaded records after each criteria change, alternating two
//! criteria so that every iteration is a real change.
void RunController(benchmark::State &state, const std::function<void(TkvDataFilterCriteria &, int)> &build)
{
    Model &model = TheModel();
    TkvDataFilterCriteria &filter = *model.Filter;
    int round = 0;
    for (auto _ : state) {
        filter.BeginBatch();
        filter.ClearTree();
        build(filter, round++);
        filter.SetActive(true);
        filter.EndBatch(); // the change path filters the records again
        benchmark::DoNotOptimize(model.Controller.RowCount());
    }
    state.counters["rows"] = double(model.Controller.RowCount());
    filter.SetActive(false);
}

void BM_LikeContains(benchmark::State &state)
{
    const Variant pattern = Variant::fromUtf8("%工%");
    RunController(state, [&](TkvDataFilterCriteria &filter, int round) {
        // An option that does not touch the result makes each round a real change.
        filter.SetOptions(round % 2 == 0 ? TkvFilterCriteriaOptions{}
                                         : TkvFilterCriteriaOptions{fcoSoftCompare});
        filter.AppendCondition(nullptr, &Columns[2], ocLike, pattern, "");
    });
}

void BM_LikeContains_Baseline(benchmark::State &state)
{
    const Ledger &ledger = Rows();
    const std::string pattern = Variant::fromUtf8("%工%").rawNarrow();
    std::vector<int> kept;
    for (auto _ : state) {
        kept.clear();
        for (std::size_t i = 0; i < ledger.Items.size(); ++i)
            if (MatchLike(ledger.Items[i], pattern, '%', '_'))
                kept.push_back(int(i));
        benchmark::DoNotOptimize(kept.data());
    }
    state.counters["rows"] = double(kept.size());
}

void BM_LikeContains_QSortFilterProxyModel(benchmark::State &state)
{
    static QStandardItemModel *model = [] {
        auto *result = new QStandardItemModel;
        const Ledger &ledger = Rows();
        result->setRowCount(int(ledger.Items.size()));
        result->setColumnCount(1);
        for (std::size_t i = 0; i < ledger.Items.size(); ++i)
            result->setItem(int(i), 0, new QStandardItem(Variant::fromNarrow(ledger.Items[i]).toString()));
        return result;
    }();
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(model);
    proxy.setFilterKeyColumn(0);
    int round = 0;
    for (auto _ : state) {
        // Two expressions in turn, so that each iteration filters every row.
        proxy.setFilterRegularExpression(
            QRegularExpression(round++ % 2 == 0 ? QStringLiteral("工") : QStringLiteral("工.*")));
        benchmark::DoNotOptimize(proxy.rowCount());
    }
    state.counters["rows"] = double(proxy.rowCount());
}

void BM_ThreeConditionAnd(benchmark::State &state)
{
    const Variant items =
        Variant::fromArray({Variant::fromUtf8("工资"), Variant::fromUtf8("奖金"), Variant::fromUtf8("利息")});
    RunController(state, [&](TkvDataFilterCriteria &filter, int round) {
        filter.AppendCondition(nullptr, &Columns[0], ocBetween,
                               Variant::fromArray({100.0, round % 2 ? 5000.0 : 5000.001}), "");
        filter.AppendCondition(nullptr, &Columns[1], ocThisYear, Variant::null(), "");
        filter.AppendCondition(nullptr, &Columns[2], ocInList, items, "");
    });
}

void BM_ThreeConditionAnd_Baseline(benchmark::State &state)
{
    const Ledger &ledger = Rows();
    const std::string names[3] = {Variant::fromUtf8("工资").rawNarrow(),
                                  Variant::fromUtf8("奖金").rawNarrow(),
                                  Variant::fromUtf8("利息").rawNarrow()};
    const double start = EncodeDate(2020, 1, 1);
    const double end = EncodeDate(2021, 1, 1);
    std::vector<int> kept;
    for (auto _ : state) {
        kept.clear();
        for (std::size_t i = 0; i < ledger.Items.size(); ++i) {
            const double amount = ledger.Amounts[i];
            const double date = ledger.Dates[i];
            const std::string &item = ledger.Items[i];
            if (amount >= 100.0 && amount <= 5000.0 && start <= date && date < end &&
                (item == names[0] || item == names[1] || item == names[2]))
                kept.push_back(int(i));
        }
        benchmark::DoNotOptimize(kept.data());
    }
    state.counters["rows"] = double(kept.size());
}

} // namespace

BENCHMARK(BM_LikeContains_Baseline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LikeContains)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LikeContains_QSortFilterProxyModel)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ThreeConditionAnd_Baseline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ThreeConditionAnd)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
