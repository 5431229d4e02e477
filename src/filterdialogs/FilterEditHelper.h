#pragma once
// Filter edit helpers: for one editor kind, the operators a filter on a
// column of that kind offers, the value editor the filter dialogs place
// beside an operator, and how a value goes into that editor and comes out
// again. The registry (FilterEditHelperRegistry.h) finds the helper of a
// column through the class of its editor properties.
#include "core/Variant.h"
#include "filterdialogs/FilterDialogOperators.h"
#include "filterdialogs/FilterDialogValueEditor.h"

#include <QString>

#include <memory>

class QWidget;

namespace kestrum {

class TkvCustomEdit;
class TkvCustomEditProperties;

//! Which operator set to answer: the custom filter dialog's, or the filter
//! builder's larger one (ranges, lists and the date periods where they fit).
enum class TkvFilterOperatorSet { fosDialog, fosBuilder };

class TkvCustomFilterEditHelper {
public:
    virtual ~TkvCustomFilterEditHelper() = default;

    //! The operators offered for a column whose editor has these properties.
    virtual TkvFilterDialogOperators SupportedOperators(const TkvCustomEditProperties &properties,
                                                        TkvFilterOperatorSet set) const = 0;
    //! A new value editor of the helper's kind, holding a copy of the
    //! column's properties adjusted for entering a filter value.
    std::unique_ptr<TkvCustomEdit> CreateValueEdit(const TkvCustomEditProperties &columnProperties,
                                                   QWidget *parent) const;
    virtual void SetEditValue(TkvCustomEdit &edit, const Variant &value) const;
    //! The edit value and the text shown for it.
    virtual void GetEditValue(const TkvCustomEdit &edit, Variant &value, QString &displayText) const;
    //! Whether the value editor edits text, so that the wildcard rule applies.
    virtual bool EditsText() const { return true; }
    //! Accepts or refuses the wildcard characters; refusing also removes
    //! them from the editor's text.
    void SetWildcardsAccepted(TkvCustomEdit &edit, bool accepted, const QString &percent,
                              const QString &underscore) const;

protected:
    //! An empty editor of the helper's kind.
    virtual std::unique_ptr<TkvCustomEdit> CreateEdit(QWidget *parent) const = 0;
    //! Copies what the kind knows from the column's properties into the
    //! editor's own and makes the adjustments of a filter value editor.
    //! Descendants copy their own settings after calling the base.
    virtual void InitializeProperties(TkvCustomEditProperties &target,
                                      const TkvCustomEditProperties &source) const;
};

//! A real editor behind the dialogs' value editor interface.
class TkvFilterHelperValueEditor : public TkvFilterDialogValueEditor {
public:
    TkvFilterHelperValueEditor(const TkvCustomFilterEditHelper &helper, TkvCustomEdit &edit)
        : FHelper(helper), FEdit(edit)
    {
    }

    TkvCustomEdit &Edit() const { return FEdit; }

    void SetValue(const Variant &value) override { FHelper.SetEditValue(FEdit, value); }
    bool PostPendingInput() override;
    void GetValue(Variant &value, QString &displayText) const override
    {
        FHelper.GetEditValue(FEdit, value, displayText);
    }
    void SetWildcardsAccepted(bool accepted, const QString &percent, const QString &underscore) override
    {
        FHelper.SetWildcardsAccepted(FEdit, accepted, percent, underscore);
    }
    void FocusEditor() override;

private:
    const TkvCustomFilterEditHelper &FHelper;
    TkvCustomEdit &FEdit;
};

} // namespace kestrum
