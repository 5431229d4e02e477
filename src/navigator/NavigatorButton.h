#pragma once
// One button of the record navigator.
#include <QString>

#include <functional>

namespace kestrum {

//! The fifteen buttons in bar order; the value is the button's index.
enum TkvNavigatorButtonKind {
    nbFirst,
    nbPriorPage,
    nbPrior,
    nbNext,
    nbNextPage,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh,
    nbSaveBookmark,
    nbGotoBookmark,
    nbFilter,
};
inline constexpr int kvNavigatorButtonCount = 15;

//! The hint a button shows when its own Hint is empty.
QString DefaultNavigatorHint(int index);

class TkvCustomNavigatorButtons;

class TkvNavigatorButton {
public:
    //! owner: the set that lays the bar out again when a button changes.
    TkvNavigatorButton(TkvCustomNavigatorButtons *owner, int index) : FOwner(owner), FIndex(index) {}

    int Index() const { return FIndex; }
    //! The button may be enabled at all; the record set's state decides the rest.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { Assign(FEnabled, value); }
    //! The hint text; empty means the default hint.
    const QString &Hint() const { return FHint; }
    void SetHint(const QString &value) { Assign(FHint, value); }
    //! The hint shown: Hint, or the default one.
    QString EffectiveHint() const { return FHint.isEmpty() ? DefaultNavigatorHint(FIndex) : FHint; }
    //! Index into the buttons' Images; -1 uses the built-in glyph.
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value) { Assign(FImageIndex, value); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value) { Assign(FVisible, value); }

    //! A click handler of the button's own; it replaces every other action.
    std::function<void(TkvNavigatorButton *)> OnClick;

private:
    //! Every published setting changes the bar's layout, look or hint, so a
    //! real change is passed on to the owner.
    template <typename T> void Assign(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        Changed();
    }
    void Changed();

    TkvCustomNavigatorButtons *FOwner;
    int FIndex;
    bool FEnabled = true;
    QString FHint;
    int FImageIndex = -1;
    bool FVisible = true;
};

} // namespace kestrum
