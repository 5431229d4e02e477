#pragma once
// The data-bound text edit and memo: they exchange the field's text.
#include "editors/DbEditDataBinding.h"
#include "editors/Memo.h"
#include "editors/TextEdit.h"

namespace kestrum {

class TkvDBTextEdit : public TkvTextEdit {
public:
    explicit TkvDBTextEdit(QWidget *parent = nullptr);

    TkvDBTextEditDataBinding &DataBinding() const
    {
        return static_cast<TkvDBTextEditDataBinding &>(TkvCustomEdit::DataBinding());
    }
};

class TkvDBMemo : public TkvMemo {
public:
    explicit TkvDBMemo(QWidget *parent = nullptr);

    TkvDBTextEditDataBinding &DataBinding() const
    {
        return static_cast<TkvDBTextEditDataBinding &>(TkvCustomEdit::DataBinding());
    }
};

} // namespace kestrum
