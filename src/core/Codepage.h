#pragma once
// Conversion between narrow strings (GB18030 bytes) and Unicode, at the edges:
// the user interface and the database. Malformed input raises EEncodingError.
#include "core/Variant.h"

#include <QString>
#include <string_view>

namespace kestrum {

NarrowString toNarrow(const QString &text);
NarrowString utf8ToNarrow(std::string_view utf8);
QString fromNarrow(std::string_view bytes);
std::string narrowToUtf8(std::string_view bytes);

//! Length in bytes of the GB18030 character that starts at bytes[pos]
//! (1, 2 or 4); 1 for a malformed lead so callers always advance.
int narrowCharLength(std::string_view bytes, std::size_t pos);

} // namespace kestrum
