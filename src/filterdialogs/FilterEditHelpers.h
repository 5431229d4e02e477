#pragma once
// The filter edit helpers of the editor kinds this code base has: text edit,
// memo, mask edit, calculator edit and date edit, and the value editors they
// create (each the editor of its kind that can refuse the wildcard characters).
#include "filterdialogs/FilterEditHelper.h"

#include <QString>

namespace kestrum {

//! What the helpers need of a value editor to apply the wildcard rule.
class IkvFilterWildcardEdit {
public:
    virtual ~IkvFilterWildcardEdit() = default;
    //! Characters that may be neither typed nor pasted from now on.
    virtual void SetRefusedChars(const QString &chars) = 0;
    virtual const QString &RefusedChars() const = 0;
};

//! An editor of kind Edit that refuses the given characters.
template <class Edit> class TkvFilterValueEdit : public Edit, public IkvFilterWildcardEdit {
public:
    explicit TkvFilterValueEdit(QWidget *parent) : Edit(parent, false) {}

    void SetRefusedChars(const QString &chars) override { FRefusedChars = chars; }
    const QString &RefusedChars() const override { return FRefusedChars; }

protected:
    bool IsValidChar(QChar ch) const override { return !FRefusedChars.contains(ch) && Edit::IsValidChar(ch); }
    void PasteText(const QString &text) override
    {
        QString kept = text;
        for (QChar ch : FRefusedChars)
            kept.remove(ch);
        Edit::PasteText(kept);
    }

private:
    QString FRefusedChars;
};

//! What tells one editor kind's helper from another's: the operators it
//! offers, the value editor it makes, and the settings it copies from the
//! column's editor onto that value editor's (after the text settings that
//! every kind copies).
struct TkvFilterEditKind {
    TkvFilterDialogOperators (*Operators)(const TkvCustomEditProperties &properties,
                                          TkvFilterOperatorSet set);
    std::unique_ptr<TkvCustomEdit> (*CreateEdit)(QWidget *parent);
    void (*CopySettings)(TkvCustomEditProperties &target, const TkvCustomEditProperties &source);
};

//! Text edit (and the kinds built like it): every operator of the dialog.
//! The other kinds are text edits too and answer from their own kind's table.
class TkvFilterTextEditHelper : public TkvCustomFilterEditHelper {
public:
    TkvFilterTextEditHelper();
    TkvFilterDialogOperators SupportedOperators(const TkvCustomEditProperties &properties,
                                                TkvFilterOperatorSet set) const override;

protected:
    explicit TkvFilterTextEditHelper(const TkvFilterEditKind &kind) : FKind(kind) {}
    std::unique_ptr<TkvCustomEdit> CreateEdit(QWidget *parent) const override;
    void InitializeProperties(TkvCustomEditProperties &target,
                              const TkvCustomEditProperties &source) const override;

private:
    const TkvFilterEditKind &FKind;
};

//! Memo: only pattern and blank tests make sense on long texts.
class TkvFilterMemoHelper : public TkvFilterTextEditHelper {
public:
    TkvFilterMemoHelper();
};

//! Mask edit: like a text edit; with a mask set the text is fixed in shape,
//! so patterns are not offered.
class TkvFilterMaskEditHelper : public TkvFilterTextEditHelper {
public:
    TkvFilterMaskEditHelper();
};

//! Calculator edit: comparisons and blank tests.
class TkvFilterCalcEditHelper : public TkvFilterTextEditHelper {
public:
    TkvFilterCalcEditHelper();
};

//! Currency edit: comparisons and blank tests, with no bounds and Null allowed.
class TkvFilterCurrencyEditHelper : public TkvFilterTextEditHelper {
public:
    TkvFilterCurrencyEditHelper();
};

//! Date edit: comparisons and blank tests; the builder adds the periods.
class TkvFilterDateEditHelper : public TkvFilterTextEditHelper {
public:
    TkvFilterDateEditHelper();
};

} // namespace kestrum
