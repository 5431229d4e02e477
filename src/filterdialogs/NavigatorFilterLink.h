#pragma once
// What the navigator's Filter button offers the filter builder: the fields of
// its record set as items, and a criteria over them whose expression text
// becomes the record set's filter.
#include "filter/FilterCriteriaTree.h"
#include "filterdialogs/FilterLink.h"
#include "navigator/NavigatorFilterDialog.h"

#include <memory>
#include <vector>

class QWidget;

namespace kestrum {

class TDbQuery;

//! A criteria whose item links are the link's field entries; IDs are field indexes.
class TkvNavigatorFilterCriteria : public TkvFilterCriteria {
public:
    explicit TkvNavigatorFilterCriteria(const TkvFilterLink &link) : FLink(link) {}
    int ItemIDByItemLink(TkvFilterItemLink itemLink) const override;
    TkvFilterItemLink ItemLinkByID(int id) const override;
    QString ItemCaption(TkvFilterItemLink itemLink) const override;
    QString ItemFieldName(TkvFilterItemLink itemLink) const override;
    //! Record sets are queries: Null tests read IS / IS NOT.
    bool IsQueryExpression() const override { return true; }

private:
    const TkvFilterLink &FLink;
};

class TkvNavigatorFilterLink : public TkvFilterLink {
public:
    //! Offers the fields of the open record set (none when it is closed).
    explicit TkvNavigatorFilterLink(const TDbQuery &dataSet);
    ~TkvNavigatorFilterLink() override;

    int ItemCount() const override { return int(FItems.size()); }
    QString ItemCaption(int index) const override;
    QString ItemFieldName(int index) const override;
    TkvCustomEditProperties *ItemProperties(int index) const override;
    TkvValueTypeClass ItemValueTypeClass(int index) const override;
    int ItemID(int index) const override { return index; }
    TkvFilterItemLink ItemLink(int index) const override;
    TkvFilterCriteria &Criteria() override { return FCriteria; }

private:
    struct Item;
    std::vector<std::unique_ptr<Item>> FItems;
    TkvNavigatorFilterCriteria FCriteria{*this};
};

//! The builder over the request's record set: loads the last criteria,
//! offers between, in and like only when the request allows them, and on
//! every apply stores the criteria and hands the expression to request.Apply.
bool ShowNavigatorFilterBuilder(QWidget *parent, TkvNavigatorFilterRequest &request);

//! Makes ShowNavigatorFilterBuilder the builder every navigator's Filter button runs.
void InstallNavigatorFilterBuilder();

} // namespace kestrum
