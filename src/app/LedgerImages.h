#pragma once
// The ledger's own 16 x 16 images for tabs, menu items and navigator buttons,
// drawn in code: 0 income, 1 statistics, 2 expense, 3 settings, 4 cancel.
namespace kestrum {

class TImageList;

enum TLedgerImage { liIncome = 0, liStatistics = 1, liExpense = 2, liSettings = 3, liCancel = 4 };

void AddLedgerImages(TImageList &images);

} // namespace kestrum
