#pragma once
// In which order a QIF file's transaction dates are written, judged from all
// of them before the first entry is read. Only transaction dates count: the
// "D" line of an account or a category is its description.
#include "exchange/ExchangeText.h"
#include "exchange/QifReader.h"

#include <QString>

#include <string>
#include <string_view>

namespace kestrum {

struct TQifDateScan {
    exchange::TDayMonthOrder Order = exchange::dmMonthFirst;
    TQifDateEvidence Evidence = qeSettled;
    //! A date as written that tells the user why: one that reads either way
    //! with two different days (qeEitherWay) or only day first (qeMixed).
    std::string Example;
    int ExampleLine = 0;
    std::string OtherExample; //!< qeMixed: a date that reads only month first
};

class TQifDateTally {
public:
    void Add(std::string_view date, int line);
    //! The order to read in: `order` when given, else what the dates say.
    TQifDateScan Finish(TQifDateOrder order) const;

private:
    enum TFinding : std::uint8_t { fnMonthOnly, fnDayOnly, fnEither };
    int FCounts[3] = {0, 0, 0};
    std::string FExamples[3];
    int FExampleLines[3] = {0, 0, 0};
};

//! What the user should hear of the order ("" when nothing).
QString QifDateNote(const TQifDateScan &scan);

} // namespace kestrum
