#include "filter/dialogs/FilterControlEditors.h"

#include "editors/CalcEdit.h"
#include "editors/DateEdit.h"
#include "editors/MaskEdit.h"
#include "editors/TextEdit.h"

namespace kestrum {

TkvFilterDialogOperators FilterControlSupportedOperators(const TkvCustomEditProperties *properties,
                                                         TkvValueTypeClass valueType)
{
    const auto compare = TkvFilterDialogOperators::Range(fdoEqual, fdoGreaterEqual);
    const auto blanks = TkvFilterDialogOperators{fdoBlanks, fdoNonBlanks};
    const auto like = TkvFilterDialogOperators{fdoLike, fdoNotLike};
    const auto ranges = TkvFilterDialogOperators::Range(fdoBetween, fdoNotInList);
    TkvFilterDialogOperators result;
    if (dynamic_cast<const TkvCustomDateEditProperties *>(properties))
        result = compare | blanks | TkvFilterDialogOperators::Range(fdoBetween, fdoNextYear);
    else if (dynamic_cast<const TkvCustomCalcEditProperties *>(properties))
        result = compare | blanks | ranges;
    else if (dynamic_cast<const TkvMemoProperties *>(properties))
        result = like | blanks;
    else if (auto *mask = dynamic_cast<const TkvCustomMaskEditProperties *>(properties);
             mask && mask->HasMask())
        result = compare | blanks | ranges;
    else
        result = compare | like | blanks | ranges;
    if (!valueType || !valueType->IsStringType()) {
        result.Exclude(fdoLike);
        result.Exclude(fdoNotLike);
    }
    return result;
}

std::unique_ptr<TkvCustomEdit> CreateFilterControlValueEditor(const TkvCustomEditProperties *properties,
                                                              QWidget *parent)
{
    std::unique_ptr<TkvCustomEdit> editor;
    if (auto *date = dynamic_cast<const TkvCustomDateEditProperties *>(properties)) {
        auto edit = std::make_unique<TkvDateEdit>(parent, true);
        auto &own = edit->Properties();
        own.SetDateOnError(deNull);
        own.SetSaveTime(date->SaveTime());
        own.SetInputKind(ikRegExpr);
        own.SetDateButtons(btnToday | btnClear);
        editor = std::move(edit);
    } else if (auto *calc = dynamic_cast<const TkvCustomCalcEditProperties *>(properties)) {
        auto edit = std::make_unique<TkvCalcEdit>(parent, true);
        edit->Properties().SetPrecision(calc->Precision());
        edit->Properties().SetQuickClose(true);
        editor = std::move(edit);
    } else if (auto *mask = dynamic_cast<const TkvCustomMaskEditProperties *>(properties)) {
        auto edit = std::make_unique<TkvMaskEdit>(parent, true);
        if (mask->HasMask()) {
            // A filter value is typed whole, so a regular expression is
            // taken in its extended form, as in the custom filter dialog.
            const TkvEditMaskKind kind = mask->MaskKind() == emkRegExpr ? emkRegExprEx : mask->MaskKind();
            edit->Properties().SetMaskKind(kind);
            edit->Properties().SetEditMask(mask->EditMask());
        }
        editor = std::move(edit);
    } else {
        editor = std::make_unique<TkvTextEdit>(parent, true);
    }
    TkvCustomEditProperties &own = editor->Properties();
    own.SetAlignment({taLeftJustify, taTopJustify});
    own.SetBeepOnError(false);
    own.SetReadOnly(false);
    own.SetValidateOnEnter(true);
    own.SetAutoSelect(true);
    if (auto *text = dynamic_cast<TkvCustomTextEditProperties *>(&own))
        text->SetHideSelection(true);
    return editor;
}

} // namespace kestrum
