#pragma once
// The shareable half of every editor: settings, events and the conversions
// between edit value and display text. A standalone editor owns one; a grid
// column owns one and lends it to whichever in-place editor edits its cells.
#include "core/Variant.h"
#include "db/DbTypes.h"

#include <QPixmap>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TkvCustomEdit;
class IkvEditDefaultValuesProvider;

//! Horizontal alignment is the record-set layer's TAlignment (taLeftJustify,
//! taRightJustify, taCenter), so a field's alignment applies as it is.
using TkvEditAlignmentHorz = TAlignment;
enum TkvEditAlignmentVert { taTopJustify, taBottomJustify, taVCenter };

struct TkvEditAlignment {
    TkvEditAlignmentHorz Horz = taLeftJustify;
    TkvEditAlignmentVert Vert = taVCenter;
    friend bool operator==(const TkvEditAlignment &, const TkvEditAlignment &) = default;
};

//! What a record-field binding exchanges with its field.
enum TkvBindingValueKind { bvkValue = 0, bvkText = 1, bvkLookupKey = 2 };

enum TkvEditButtonKind { bkEllipsis, bkDown, bkGlyph };

struct TkvEditButton {
    bool Default = false;
    QPixmap Glyph;
    TkvEditButtonKind Kind = bkDown;
    bool LeftAlignment = false;
    bool Visible = true;
    int Width = 0;
};

//! A key combination: a Qt key code or-ed with its Qt::KeyboardModifiers.
//! The keypad's Enter folds into Return so one shortcut names both.
using TShortCut = int;
TShortCut ShortCut(int key, Qt::KeyboardModifiers shift);

//! Kinds of validation message.
enum TkvValidationErrorKind { vekInvalidInput = 0, vekOutOfBounds = 1 };

using TkvEditNotifyEvent = std::function<void(TkvCustomEdit *sender)>;
//! The handler may change all three: the display value to take, the message
//! and whether the value is rejected.
using TkvEditValidateEvent =
    std::function<void(TkvCustomEdit *sender, QString &displayValue, QString &errorText, bool &error)>;
using TkvEditButtonClickEvent = std::function<void(TkvCustomEdit *sender, int buttonIndex)>;

class TkvCustomEditProperties {
public:
    TkvCustomEditProperties();
    virtual ~TkvCustomEditProperties();
    TkvCustomEditProperties(const TkvCustomEditProperties &) = delete;
    TkvCustomEditProperties &operator=(const TkvCustomEditProperties &) = delete;

    //! The one editor that currently uses these properties (or none). Every
    //! property change is pushed to it.
    TkvCustomEdit *Owner() const { return FOwner; }
    void SetOwner(TkvCustomEdit *owner) { FOwner = owner; }
    //! Tells the owner that a property changed (inner control, repaint).
    void Changed();

    //! Defaults of the source the values come from (maximum length, formats,
    //! read-only) handed by whoever lends these properties: a grid column
    //! hands its field's, since its in-place editor has no binding of its
    //! own. Null when none was handed.
    IkvEditDefaultValuesProvider *HandedDefaultValuesProvider() const { return FHandedProvider; }
    void SetDefaultValuesProvider(IkvEditDefaultValuesProvider *provider) { FHandedProvider = provider; }
    //! Where the defaults come from: the handed provider, else the owner's
    //! binding's; null without either.
    const IkvEditDefaultValuesProvider *DefaultValuesProvider() const;

    //! Listeners told when the properties object goes away (in-place editor
    //! lists, hosts); AddFreeNotification returns an id for removal.
    int AddFreeNotification(std::function<void(TkvCustomEditProperties *)> listener);
    void RemoveFreeNotification(int id);

    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value);
    bool BeepOnError() const { return FBeepOnError; }
    void SetBeepOnError(bool value) { FBeepOnError = value; }
    TShortCut ClearKey() const { return FClearKey; }
    void SetClearKey(TShortCut value) { FClearKey = value; }
    TShortCut ClickKey() const { return FClickKey; }
    void SetClickKey(TShortCut value) { FClickKey = value; }
    bool ImmediatePost() const { return FImmediatePost; }
    void SetImmediatePost(bool value) { FImmediatePost = value; }
    //! The assigned value; see ReadOnlyAssigned and TkvCustomEdit::IsReadOnly
    //! for the effective one.
    bool ReadOnly() const { return FReadOnly; }
    bool ReadOnlyAssigned() const { return FReadOnlyAssigned; }
    void SetReadOnly(bool value);
    //! Forgets an assigned ReadOnly so the bound field decides again.
    void ResetReadOnly();
    bool ValidateOnEnter() const { return FValidateOnEnter; }
    void SetValidateOnEnter(bool value) { FValidateOnEnter = value; }
    bool UseLeftAlignmentOnEditing() const { return FUseLeftAlignmentOnEditing; }
    void SetUseLeftAlignmentOnEditing(bool value);
    const TkvEditAlignment &Alignment() const { return FAlignment; }
    void SetAlignment(const TkvEditAlignment &value);
    const std::vector<TkvEditButton> &Buttons() const { return FButtons; }
    std::vector<TkvEditButton> &Buttons() { return FButtons; }
    //! Index of the first button marked Default, -1 when none.
    int DefaultButtonIndex() const;

    TkvEditNotifyEvent OnChange;
    TkvEditNotifyEvent OnEditValueChanged;
    TkvEditValidateEvent OnValidate;
    TkvEditButtonClickEvent OnButtonClick;

    //! Text editors and everything derived from them validate their text.
    virtual bool ValidatesDisplayValue() const { return false; }
    //! Whether assignments compare the old and new edit value before firing
    //! the change events.
    virtual bool CanCompareEditValue() const { return true; }
    //! True when OnChange already fires from the inner control's text path, so
    //! that a changed edit value fires only OnEditValueChanged.
    virtual bool FiresChangeFromTextPath() const { return false; }
    //! Whether Esc may bring back the value held at focus entry.
    virtual bool CanRevertToEntryValue() const { return false; }
    //! Whether the editor shows the field's display format while not focused.
    virtual bool UsesFieldDisplayFormat() const { return false; }
    virtual QString GetValidationErrorText(TkvValidationErrorKind kind) const;
    //! The validation chain; each level may set error and errorText, the base
    //! level fills the default text and runs OnValidate.
    virtual void CheckDisplayValue(QString &displayValue, QString &errorText, TkvCustomEdit *edit,
                                   bool &error);
    virtual TkvBindingValueKind GetBindingValueKind(bool focused) const;
    virtual Variant DisplayToEditValue(const QString &displayValue, bool focused) const;
    //! The text shown for a value; a value that cannot be shown is an empty text.
    virtual QString EditValueToDisplayText(const Variant &value, bool focused) const;
    //! A new hidden in-place editor of the class these properties belong to
    //! (in-place editor lists create editors this way); none in the base.
    virtual std::unique_ptr<TkvCustomEdit> CreateInplaceEditor() const;

private:
    TkvCustomEdit *FOwner = nullptr;
    IkvEditDefaultValuesProvider *FHandedProvider = nullptr;
    int FNextListenerId = 1;
    std::vector<std::pair<int, std::function<void(TkvCustomEditProperties *)>>> FFreeNotifications;
    bool FAutoSelect = true;
    bool FBeepOnError = false;
    TShortCut FClearKey = 0;
    TShortCut FClickKey;
    bool FImmediatePost = false;
    bool FReadOnly = false;
    bool FReadOnlyAssigned = false;
    bool FValidateOnEnter = false;
    bool FUseLeftAlignmentOnEditing = true;
    TkvEditAlignment FAlignment;
    std::vector<TkvEditButton> FButtons;
};

extern const char *const kvInvalidInputText;     //!< "Invalid input value. Use escape key to abandon changes"
extern const char *const kvValueOutOfBoundsText; //!< "Value out of bounds"

} // namespace kestrum
