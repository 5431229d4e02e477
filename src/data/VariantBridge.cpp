#include "data/VariantBridge.h"

#include "core/VariantCompare.h"
#include "core/VariantStream.h"

namespace kestrum {

int CompareStoredVariants(const Variant &a, const Variant &b)
{
    return CompareVariants(a, b);
}

void WriteStreamVariant(BinaryWriter &stream, const Variant &value)
{
    EncodeVariant(stream, value);
}

Variant ReadStreamVariant(BinaryReader &stream)
{
    return DecodeVariant(stream);
}

} // namespace kestrum
