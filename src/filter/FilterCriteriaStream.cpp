#include "filter/FilterCriteriaStream.h"

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

void TkvFilterCriteriaStream::Write(const TkvFilterCriteria &criteria, BinaryWriter &writer)
{
    const TkvFilterCriteriaItemList &root = criteria.Root();
    writer.writeI32(RootBoolCodeMarker);
    writer.writeU8(root.BoolOperatorKind());
    writer.writeI32(root.Count());
    for (int i = 0; i < root.Count(); ++i)
        root.Items(i)->WriteData(writer);
}

void TkvFilterCriteriaStream::ReadNodes(BinaryReader &reader, TkvFilterCriteriaItemList &list, int count,
                                        int depth)
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
            node = list.AddItem(FCriteria.CreateItem(&list, FCriteria.ItemLinkByID(id),
                                                     TkvFilterOperatorCode(code), value, displayValue));
        } else {
            throw EReadError();
        }
        node->ReadData(reader);
    }
}

void TkvFilterCriteriaStream::Read(BinaryReader &reader)
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
        root.emplace(nullptr, boolCode, &FCriteria);
        ReadNodes(reader, *root, count, 0);
    } catch (const EReadError &) {
        throw;
    } catch (const Exception &) {
        throw EReadError();
    }
    TkvFilterCriteriaItemList &target = FCriteria.Root();
    FCriteria.BeginBatch();
    target.ClearItems();
    target.SetBoolOperatorKind(root->BoolOperatorKind());
    while (root->Count() > 0)
        target.AddItem(root->TakeItem(root->Items(0)));
    FCriteria.Changed();
    FCriteria.EndBatch();
}

std::string TkvFilterCriteriaStream::SaveToBytes(const TkvFilterCriteria &criteria)
{
    BinaryWriter writer;
    Write(criteria, writer);
    return writer.takeBytes();
}

void TkvFilterCriteriaStream::LoadFromBytes(const std::string &bytes)
{
    BinaryReader reader(bytes);
    Read(reader);
}

} // namespace kestrum
