#pragma once
// Whether an editor may change its value: the read-only state in force (the
// assigned one, else the bound field's or an in-place host's), and the request
// to edit that asks the host's OnEditing and puts the record into editing.
namespace kestrum {

class TkvCustomEdit;

class TkvEditPermission {
public:
    explicit TkvEditPermission(TkvCustomEdit &edit) : FEdit(edit) {}

    bool IsReadOnly() const;
    bool CanChangeValue() const;
    bool RequestEditing();
    //! Not read-only, and the record is in editing or the request agrees.
    bool MayModifyText();

private:
    TkvCustomEdit &FEdit;
};

} // namespace kestrum
