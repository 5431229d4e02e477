// The criteria stream: a marker with the root's bool code, then the nodes.
#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/VariantStream.h"
#include "filter/FilterCriteriaTree.h"

#include <optional>

namespace kestrum {

namespace {

//! Marks the format that carries the root's bool code.
constexpr std::int32_t RootBoolCodeMarker = -1;
constexpr std::uint8_t NodeLeaf = 0;
constexpr std::uint8_t NodeList = 1;
// Lists nested deeper than this are taken for a corrupt stream rather than
// being allowed to exhaust the call stack.
constexpr int MaxListDepth = 256;

TkvFilterBoolCode ReadBoolCode(BinaryReader &reader)
{
    const std::uint8_t code = reader.readU8();
    if (code > bcNotOr)
        throw EReadError();
    return TkvFilterBoolCode(code);
}

std::int32_t ReadCount(BinaryReader &reader)
{
    const std::int32_t count = reader.readI32();
    if (count < 0)
        throw EReadError();
    return count;
}

} // namespace

void TkvFilterCriteria::WriteCriteria(BinaryWriter &writer) const
{
    writer.writeI32(RootBoolCodeMarker);
    writer.writeU8(FRoot->BoolOperatorKind());
    writer.writeI32(FRoot->Count());
    for (int i = 0; i < FRoot->Count(); ++i)
        FRoot->Items(i)->WriteData(writer);
}

void TkvFilterCriteria::ReadNodes(BinaryReader &reader, TkvFilterCriteriaItemList &list, int count, int depth)
{
    for (int i = 0; i < count; ++i) {
        TkvCustomFilterCriteriaItem *node = nullptr;
        const std::uint8_t kind = reader.readU8();
        if (kind == NodeList) {
            if (depth >= MaxListDepth)
                throw EReadError();
            const TkvFilterBoolCode boolCode = ReadBoolCode(reader);
            const std::int32_t childCount = ReadCount(reader);
            auto *sub = static_cast<TkvFilterCriteriaItemList *>(
                list.AddItem(std::make_unique<TkvFilterCriteriaItemList>(&list, boolCode)));
            ReadNodes(reader, *sub, childCount, depth + 1);
            node = sub;
        } else if (kind == NodeLeaf) {
            const std::uint8_t code = reader.readU8();
            if (code >= FilterOperatorCodeCount)
                throw EReadError();
            const std::int32_t length = ReadCount(reader);
            if (std::size_t(length) > reader.remaining())
                throw EReadError();
            QString displayValue;
            try {
                displayValue = fromNarrow(reader.readBytes(std::size_t(length)));
            } catch (const EEncodingError &) {
                throw EReadError();
            }
            const std::int32_t id = reader.readI32();
            const Variant value = DecodeVariant(reader);
            node = list.AddItem(
                CreateItem(&list, ItemLinkByID(id), TkvFilterOperatorCode(code), value, displayValue));
        } else {
            throw EReadError();
        }
        node->ReadData(reader);
    }
}

void TkvFilterCriteria::ReadCriteria(BinaryReader &reader)
{
    // The nodes are read into a detached root first, so that a malformed
    // stream leaves the criteria exactly as it was. The root is made with its
    // bool code: setting it afterwards would run the change path on the tree
    // the criteria still holds.
    std::optional<TkvFilterCriteriaItemList> root;
    try {
        TkvFilterBoolCode boolCode = bcAnd;
        std::int32_t count = reader.readI32();
        if (count == RootBoolCodeMarker) {
            boolCode = ReadBoolCode(reader);
            count = reader.readI32();
        }
        if (count < 0)
            throw EReadError();
        root.emplace(nullptr, boolCode, this);
        ReadNodes(reader, *root, count, 0);
    } catch (const EReadError &) {
        throw;
    } catch (const Exception &) {
        throw EReadError();
    }
    BeginBatch();
    FRoot->ClearItems();
    FRoot->SetBoolOperatorKind(root->BoolOperatorKind());
    while (root->Count() > 0)
        FRoot->AddItem(root->TakeItem(root->Items(0)));
    Changed();
    EndBatch();
}

std::string TkvFilterCriteria::SaveToBytes() const
{
    BinaryWriter writer;
    WriteCriteria(writer);
    return writer.takeBytes();
}

void TkvFilterCriteria::LoadFromBytes(const std::string &bytes)
{
    BinaryReader reader(bytes);
    ReadCriteria(reader);
}

} // namespace kestrum
