#include "editors/DbTextEdit.h"

namespace kestrum {

TkvDBTextEdit::TkvDBTextEdit(QWidget *parent) : TkvTextEdit(parent)
{
    SetDataBinding(std::make_unique<TkvDBTextEditDataBinding>(*this));
    PropertiesChanged();
    RefreshDisplay();
}

TkvDBMemo::TkvDBMemo(QWidget *parent) : TkvMemo(parent)
{
    SetDataBinding(std::make_unique<TkvDBTextEditDataBinding>(*this));
    PropertiesChanged();
    RefreshDisplay();
}

} // namespace kestrum
