#include "editors/EditClipboard.h"

#include "editors/CustomEdit.h"

#include <QApplication>
#include <QClipboard>

namespace kestrum {

QString FilterTypableText(const QString &text, bool multiLine, const std::function<bool(QChar)> &isValidChar)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar ch = text[i];
        if (ch == u'\r' || ch == u'\n') {
            if (!multiLine)
                break;
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                continue;
            result += u'\n';
            continue;
        }
        if (ch == u'\t' ? !multiLine : ch.unicode() < 32)
            continue;
        if (!isValidChar(ch))
            continue;
        result += ch;
    }
    return result;
}

void TkvEditClipboard::PasteText(const QString &text)
{
    TkvEditInnerControl *inner = FEdit.InnerControl();
    if (!inner || text.isEmpty() || !FEdit.MayModifyText())
        return;
    QString filtered = FEdit.FilterPastedText(text);
    if (filtered.isEmpty()) {
        if (FEdit.Properties().BeepOnError())
            TkvCustomEdit::Beep();
        return;
    }
    FEdit.WithClearingGuard([&] { inner->InsertText(filtered); });
}

void TkvEditClipboard::DeleteSelection()
{
    TkvEditInnerControl *inner = FEdit.InnerControl();
    if (inner && inner->SelLength() > 0)
        FEdit.WithClearingGuard([&] { inner->InsertText(QString()); });
}

void TkvEditClipboard::Paste()
{
    FEdit.PasteText(ClipboardText());
}

void TkvEditClipboard::Copy()
{
    TkvEditInnerControl *inner = FEdit.InnerControl();
    if (!inner || inner->SelLength() <= 0 || inner->IsPassword())
        return;
    QApplication::clipboard()->setText(inner->Text().mid(inner->SelStart(), inner->SelLength()));
}

void TkvEditClipboard::Cut()
{
    TkvEditInnerControl *inner = FEdit.InnerControl();
    if (!inner || inner->SelLength() <= 0 || inner->IsPassword() || !FEdit.MayModifyText())
        return;
    Copy();
    FEdit.DeleteSelection();
}

void TkvEditClipboard::Clear()
{
    TkvEditInnerControl *inner = FEdit.InnerControl();
    if (!inner || inner->SelLength() <= 0 || !FEdit.MayModifyText())
        return;
    FEdit.DeleteSelection();
}

} // namespace kestrum
