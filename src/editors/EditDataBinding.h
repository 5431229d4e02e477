#pragma once
// The editor's link to where its value lives. The base class serves unbound
// editors (the editor keeps its value); the record-field bindings in
// DbEditDataBinding.h exchange it with a field of a data source.
#include "core/Variant.h"
#include "editors/EditProperties.h"

#include <QString>

#include <memory>
#include <optional>

namespace kestrum {

class TkvCustomEdit;

//! Questions an editor asks about where its value comes from: whether it can
//! be modified, its formats, bounds and alignment. Unbound editors get the
//! permissive answers of this class.
class IkvEditDefaultValuesProvider {
public:
    virtual ~IkvEditDefaultValuesProvider() = default;
    //! The source can be modified (a bound field's own can-modify test).
    virtual bool CanSetEditMode() const { return true; }
    //! A field of an active record set is bound.
    virtual bool IsDataAvailable() const { return false; }
    //! Read-only as the source says: the field's flag, and true while a
    //! binding has no field of an active record set.
    virtual bool DefaultReadOnly() const { return false; }
    virtual QString DefaultDisplayFormat() const { return {}; }
    virtual QString DefaultEditFormat() const { return {}; }
    virtual bool IsDisplayFormatDefined() const { return false; }
    virtual std::optional<double> DefaultMinValue() const { return std::nullopt; }
    virtual std::optional<double> DefaultMaxValue() const { return std::nullopt; }
    virtual std::optional<TkvEditAlignmentHorz> DefaultAlignment() const { return std::nullopt; }
    //! A string field's size; 0 for no limit.
    virtual int DefaultMaxLength() const { return 0; }
};

class TkvCustomEditDefaultValuesProvider : public IkvEditDefaultValuesProvider {};

class TkvEditDataBinding {
public:
    explicit TkvEditDataBinding(TkvCustomEdit &edit);
    virtual ~TkvEditDataBinding();
    TkvEditDataBinding(const TkvEditDataBinding &) = delete;
    TkvEditDataBinding &operator=(const TkvEditDataBinding &) = delete;

    TkvCustomEdit &Edit() const { return FEdit; }
    IkvEditDefaultValuesProvider &DefaultValuesProvider() const { return *FDefaultValuesProvider; }

    //! Unbound: the editor has a pending change. Record field: the link is
    //! editing its field of an active data source and marked modified.
    virtual bool IsRecordEditing() const;
    //! Unbound: true. Record field: a data source is set and it auto-edits or
    //! its record set is already editing.
    virtual bool CanAutoEdit() const { return true; }
    //! Asked once the editor may change its value; a record binding puts the
    //! record into edit state here. Answers whether editing may go on.
    virtual bool EnterEditing() { return true; }
    //! The value the source holds, in the kind of value the editor asks for.
    virtual Variant ReadFieldValue() const;
    //! Hands the edit value to the source; unbound editors keep it themselves.
    virtual void WriteToField(const Variant &value);
    //! Loads the editor from the source; nothing for unbound editors.
    virtual void ReloadFromField() {}
    //! Reload at focus entry and exit.
    virtual void FocusReload() { ReloadFromField(); }
    //! Puts a display text into the editor's inner control.
    virtual void SetDisplayValue(const QString &displayValue);
    //! Whether this binding exchanges values with a record field.
    virtual bool IsDataBound() const { return false; }

protected:
    void SetDefaultValuesProvider(std::unique_ptr<IkvEditDefaultValuesProvider> provider);

private:
    TkvCustomEdit &FEdit;
    std::unique_ptr<IkvEditDefaultValuesProvider> FDefaultValuesProvider;
};

} // namespace kestrum
