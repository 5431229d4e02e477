#pragma once
// The variant comparison and stream encoding that the value types share with
// the filter layer, in one place so that the storage names them once.
#include "core/BinaryStream.h"
#include "core/Variant.h"

namespace kestrum {

//! Three-way variant comparison (Null first).
int CompareStoredVariants(const Variant &a, const Variant &b);
//! The variant stream form: a type byte and its payload.
void WriteStreamVariant(BinaryWriter &stream, const Variant &value);
Variant ReadStreamVariant(BinaryReader &stream);

} // namespace kestrum
