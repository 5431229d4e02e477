#pragma once
// What an editor knows about changes to its value: a change not yet stored
// (pending), a change made since the focus entered (Esc reverts it), and a
// pending change already validated. The three are independent facts that
// callers set one by one (a grid keeps the editor's pending change across a
// row move), so they are one set of bits rather than a state machine.
#include <vector>

namespace kestrum {

class TkvEditChangeFlags {
public:
    bool HasPendingChange() const { return Has(Pending); }
    bool ChangedSinceEntry() const { return Has(SinceEntry); }
    bool IsValidated() const { return Has(Validated); }
    void SetHasPendingChange(bool value) { Set(Pending, value); }
    void SetChangedSinceEntry(bool value) { Set(SinceEntry, value); }
    void SetValidated(bool value) { Set(Validated, value); }

    //! A user change: pending, made since entry, not validated yet.
    void MarkUserChange() { FFlags = Pending | SinceEntry; }
    //! Nothing pending and nothing changed since entry; the validated mark
    //! stays (it only counts while a change is pending).
    void Clear() { FFlags &= Validated; }

    //! Keeps pending and since-entry across the focus work (entry and exit
    //! reload the value, which would clear them) until Restore.
    void Save();
    //! Puts back the last saved pending and since-entry; nothing when none.
    void Restore();

private:
    enum Flag : unsigned { Pending = 1, SinceEntry = 2, Validated = 4 };
    bool Has(Flag flag) const { return (FFlags & flag) != 0; }
    void Set(Flag flag, bool value) { FFlags = value ? FFlags | flag : FFlags & ~unsigned(flag); }

    unsigned FFlags = 0;
    std::vector<unsigned> FSaved;
};

} // namespace kestrum
