#pragma once
// How a CSV file is laid out, as the preview and the reader both work it out
// before the first entry: its encoding and separator, the records sampled
// from its beginning, its header row and what each column holds.
#include "exchange/CsvReader.h"
#include "exchange/ExchangeText.h"
#include "exchange/PaymentBill.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <cstddef>
#include <string>
#include <vector>

namespace kestrum::exchange {

struct TCsvLayout {
    TCsvOptions Options;
    bool ByteOrderMark = false;
    QByteArray Text; //!< UTF-8
    QStringList Headers;
    QList<QStringList> Sample; //!< the first non-blank records, header rows included
    int HeaderLine = 0;
    TPaymentBillLayout Bill;
    QStringList Problems;
};

//! Works out what `given` leaves to detect, from `data` (the whole file or its
//! beginning); `rowCount` data records at least are sampled. What keeps the
//! file from being read is listed in Problems.
TCsvLayout ResolveCsvLayout(const QByteArray &data, const TCsvOptions &given, int rowCount);

//! Whether the record's cells are all blank.
bool IsBlankRecord(const std::vector<std::string> &cells, std::size_t count);

TTextEncoding ToTextEncoding(TCsvEncoding encoding);

} // namespace kestrum::exchange
