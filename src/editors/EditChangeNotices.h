#pragma once
// Batching of an editor's change notices (OnChange, OnEditValueChanged).
// Between BeginChangeEvents and the matching EndChangeEvents the notices are
// held back; the outermost end fires each held notice once, the change
// before the value change, or drops them when asked not to fire.
namespace kestrum {

enum class TkvEditNotice : unsigned {
    Change = 1,           //!< OnChange
    EditValueChanged = 2, //!< OnEditValueChanged
};

class TkvEditChangeNotices {
public:
    //! Opens a level; the outermost one forgets notices held before.
    void Begin();
    //! Closes a level. Returns the held notices (a set of TkvEditNotice bits)
    //! when the outermost level closes and fire is on, else 0. An end without
    //! a begin does nothing.
    unsigned End(bool fire);
    //! True when the notice is held back now; false when it fires at once.
    bool Hold(TkvEditNotice notice);
    bool Holding() const { return FLevel > 0; }

    static bool Contains(unsigned notices, TkvEditNotice notice) { return (notices & unsigned(notice)) != 0; }

private:
    int FLevel = 0;
    unsigned FHeld = 0;
};

} // namespace kestrum
