#pragma once
// The mask edit: a text editor whose typing, caret moves, deletions and paste
// go through a mask mode when a mask is set; without a mask it is a plain
// text editor.
#include "editors/MaskEditProperties.h"
#include "editors/TextEdit.h"

namespace kestrum {

class TkvCustomMaskEdit : public TkvCustomTextEdit {
public:
    TkvCustomMaskEdit(std::unique_ptr<TkvCustomMaskEditProperties> properties, bool isInplace = false,
                      QWidget *parent = nullptr);
    TkvCustomMaskEditProperties &Properties() const
    {
        return static_cast<TkvCustomMaskEditProperties &>(TkvCustomEdit::Properties());
    }

    //! The editor's own mode; null without a mask.
    TkvMaskEditCustomMode *Mode() const { return FMode.get(); }
    void PropertiesChanged() override;

protected:
    void DoKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    bool ApplyTypedChar(QChar ch) override;
    bool AcceptsProperties(const TkvCustomEditProperties &properties) const override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    //! Runs a mode operation on the inner control's text and selection and
    //! writes the result back; a refused keystroke beeps with BeepOnError.
    template <typename Operation> void RunMode(Operation operation);
    //! With a mask, pasted text goes through the mode.
    void PasteText(const QString &text) override;
    void DeleteSelection() override;
    bool AllowsNativeEditing() const override { return !FMode; }

private:
    void RebuildMode();

    std::unique_ptr<TkvMaskEditCustomMode> FMode;
    TkvEditMaskKind FModeKind = emkStandard;
    QString FModeMask;
    bool FModeCaseInsensitive = true;
};

class TkvMaskEdit : public TkvCustomMaskEdit {
public:
    explicit TkvMaskEdit(QWidget *parent = nullptr, bool isInplace = false);
    TkvMaskEditProperties &Properties() const
    {
        return static_cast<TkvMaskEditProperties &>(TkvCustomEdit::Properties());
    }
};

} // namespace kestrum
