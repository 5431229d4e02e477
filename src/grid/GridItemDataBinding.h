#pragma once
// An item's link to its data controller field. The base binding knows no
// field: its default caption is empty and its default width 64 pixels. The
// record-set binding finds its field by name through the view's controller.
#include "editors/EditDataBinding.h"
#include "grid/GridDefaultEditorItems.h"
#include "grid/GridRowSource.h"

#include <QString>

namespace kestrum {

class TkvCustomGridTableItem;
class TkvGridItemDataBinding;

//! The field's defaults for the editor properties a column lends to its
//! in-place editor: maximum length, formats, read-only state and alignment,
//! read from the field each time, so a reopened record set is followed.
class TkvGridItemDefaultValuesProvider : public TkvCustomEditDefaultValuesProvider {
public:
    explicit TkvGridItemDefaultValuesProvider(const TkvGridItemDataBinding &binding) : FBinding(binding) {}

    bool CanSetEditMode() const override;
    bool IsDataAvailable() const override;
    //! A field that cannot be modified; without a field the editor edits.
    bool DefaultReadOnly() const override;
    QString DefaultDisplayFormat() const override;
    QString DefaultEditFormat() const override;
    bool IsDisplayFormatDefined() const override;
    std::optional<TkvEditAlignmentHorz> DefaultAlignment() const override;
    int DefaultMaxLength() const override;

private:
    const TkvGridItemDataBinding &FBinding;
};

class TkvGridItemDataBinding {
public:
    explicit TkvGridItemDataBinding(TkvCustomGridTableItem *item) : FItem(item) {}
    virtual ~TkvGridItemDataBinding() = default;
    TkvGridItemDataBinding(const TkvGridItemDataBinding &) = delete;
    TkvGridItemDataBinding &operator=(const TkvGridItemDataBinding &) = delete;

    TkvCustomGridTableItem *Item() const { return FItem; }

    //! The field behind the item; the base binding has none.
    virtual TkvGridFieldInfo Field() const { return {}; }
    virtual QString DefaultCaption() const { return {}; }
    //! The width before it is raised to the item's minimum.
    virtual int DefaultWidth() const { return 64; }
    TkvGridEditorItemKind DefaultRepositoryItem() const { return DefaultEditorItemForField(Field()); }
    //! The alignment the field's values take (numbers right, text left).
    TkvGridAlignmentHorz DefaultAlignment() const { return Field().Alignment; }
    //! What the item hands the editor properties it lends.
    IkvEditDefaultValuesProvider &DefaultValuesProvider() { return FDefaultValuesProvider; }

private:
    TkvCustomGridTableItem *FItem;
    TkvGridItemDefaultValuesProvider FDefaultValuesProvider{*this};
};

class TkvGridItemDBDataBinding : public TkvGridItemDataBinding {
public:
    using TkvGridItemDataBinding::TkvGridItemDataBinding;

    //! Kept in the data controller's field for the item's index.
    QString FieldName() const;
    void SetFieldName(const QString &fieldName);

    TkvGridFieldInfo Field() const override;
    //! The field's display name when the field exists, otherwise the field name text.
    QString DefaultCaption() const override;
    //! "0" in the content font times the field's display width, plus 4; 64 without a field.
    int DefaultWidth() const override;
};

} // namespace kestrum
