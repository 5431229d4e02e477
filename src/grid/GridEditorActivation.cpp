#include "grid/GridEditorActivation.h"

#include "editors/CustomEdit.h"

#include <QApplication>
#include <QTimer>

namespace kestrum {

TkvGridEditorActivation::TkvGridEditorActivation(std::function<void(TkvCustomGridTableItem *)> open)
    : FOpen(std::move(open))
{
}

TkvGridEditorActivation::~TkvGridEditorActivation() = default;

void TkvGridEditorActivation::Press(TkvCustomGridTableItem *item, bool wasFocusedCell)
{
    Cancel();
    FPressedItem = item;
    FPressWasFocusedCell = item && wasFocusedCell;
}

bool TkvGridEditorActivation::TakePressWasFocusedCell(TkvCustomGridTableItem *item)
{
    const bool pressWasFocusedCell = FPressWasFocusedCell && item == FPressedItem;
    FPressedItem = nullptr;
    FPressWasFocusedCell = false;
    return pressWasFocusedCell;
}

void TkvGridEditorActivation::Start(TkvCustomGridTableItem *item)
{
    Cancel();
    if (!item)
        return;
    FItem = item;
    FTimer = std::make_unique<QTimer>();
    FTimer->setSingleShot(true);
    FTimer->setInterval(QApplication::doubleClickInterval());
    QObject::connect(FTimer.get(), &QTimer::timeout, [this] {
        try {
            Fired();
        } catch (const std::exception &error) {
            TkvCustomEdit::HandleException(error);
        }
    });
    FTimer->start();
}

void TkvGridEditorActivation::Cancel()
{
    FItem = nullptr;
    if (FTimer) {
        FTimer->stop();
        // Freed later: this may run inside the timer's own signal.
        FTimer.release()->deleteLater();
    }
}

void TkvGridEditorActivation::Fired()
{
    TkvCustomGridTableItem *item = FItem;
    Cancel();
    if (item)
        FOpen(item);
}

void TkvGridEditorActivation::ItemRemoving(TkvCustomGridTableItem *item)
{
    if (item == FItem)
        Cancel();
    if (item == FPressedItem)
        FPressedItem = nullptr;
}

} // namespace kestrum
