#pragma once
// What a result column is: its name, and the table column it comes from.
#include <QString>

#include <string>

namespace kestrum {

struct TDbColumnInfo {
    QString name;
    QString table;  //!< origin table ("" for an expression)
    QString origin; //!< origin column
    std::string declared;
};

} // namespace kestrum
