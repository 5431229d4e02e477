#pragma once
// Which decimal mark a CSV file writes its amounts with, found from the first
// amount that shows each mark by its own separators, so that an amount like
// "1.500", which reads either way, can be read the file's way.
#include "exchange/ExchangeText.h"

#include <string>
#include <string_view>

namespace kestrum::exchange {

struct TMarkEvidence {
    int PointLine = 0;
    std::string PointText;
    int CommaLine = 0;
    std::string CommaText;
    bool Scanned = false; //!< the whole file was looked through
    int Settled = 0;      //!< amounts read the file's way that alone read either way
    int SettledLine = 0;
    std::string SettledText;

    TDecimalMark Mark() const
    {
        if ((PointLine != 0) == (CommaLine != 0))
            return dmUnsettled;
        return PointLine != 0 ? dmPoint : dmComma;
    }
    bool Mixed() const { return PointLine != 0 && CommaLine != 0; }
    //! Notes the cell of the file's `line` when it is the first amount that
    //! shows its mark.
    void Observe(std::string_view cell, int line);
};

} // namespace kestrum::exchange
