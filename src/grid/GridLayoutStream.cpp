#include "grid/GridLayoutStream.h"

#include "core/BinaryStream.h"
#include "core/Errors.h"
#include "core/VariantStream.h"

namespace kestrum {

namespace {

constexpr char Signature[4] = {'K', 'G', 'L', '1'};
// Bounds that no real layout reaches; larger counts mean a damaged stream, not a big grid.
constexpr int MaxItems = 4096;
constexpr int MaxProperties = 64;
constexpr int MaxNameLength = 1024;

void WriteName(BinaryWriter &writer, const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    if (utf8.size() > MaxNameLength)
        throw EWriteError();
    writer.writeU16(static_cast<std::uint16_t>(utf8.size()));
    writer.writeBytes(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString ReadName(BinaryReader &reader)
{
    const int length = reader.readU16();
    if (length > MaxNameLength)
        throw EReadError();
    const std::string bytes = reader.readBytes(static_cast<std::size_t>(length));
    const QString name = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (name.toUtf8() != QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())))
        throw EReadError();
    return name;
}

} // namespace

std::string WriteGridLayout(const TkvGridStoredLayout &layout)
{
    BinaryWriter writer;
    writer.writeBytes(std::string_view(Signature, sizeof Signature));
    if (layout.Items.size() > static_cast<std::size_t>(MaxItems))
        throw EWriteError();
    writer.writeU16(static_cast<std::uint16_t>(layout.Items.size()));
    for (const TkvGridStoredLayout::Item &item : layout.Items) {
        WriteName(writer, item.Name);
        if (item.Properties.size() > static_cast<std::size_t>(MaxProperties))
            throw EWriteError();
        writer.writeU8(static_cast<std::uint8_t>(item.Properties.size()));
        for (const TkvGridStoredProperty &property : item.Properties) {
            WriteName(writer, property.Name);
            EncodeVariant(writer, property.Value);
        }
    }
    writer.writeU8(layout.HasCriteria ? 1 : 0);
    if (layout.HasCriteria) {
        writer.writeU32(static_cast<std::uint32_t>(layout.Criteria.size()));
        writer.writeBytes(layout.Criteria);
    }
    return writer.takeBytes();
}

TkvGridStoredLayout ParseGridLayout(const std::string &bytes)
{
    BinaryReader reader(bytes);
    if (reader.readBytes(sizeof Signature) != std::string(Signature, sizeof Signature))
        throw EReadError();
    TkvGridStoredLayout layout;
    const int itemCount = reader.readU16();
    if (itemCount > MaxItems)
        throw EReadError();
    for (int i = 0; i < itemCount; ++i) {
        TkvGridStoredLayout::Item item;
        item.Name = ReadName(reader);
        const int propertyCount = reader.readU8();
        if (propertyCount > MaxProperties)
            throw EReadError();
        for (int p = 0; p < propertyCount; ++p) {
            TkvGridStoredProperty property;
            property.Name = ReadName(reader);
            property.Value = DecodeVariant(reader);
            item.Properties.push_back(std::move(property));
        }
        layout.Items.push_back(std::move(item));
    }
    const int hasCriteria = reader.readU8();
    if (hasCriteria > 1)
        throw EReadError();
    layout.HasCriteria = hasCriteria == 1;
    if (layout.HasCriteria) {
        const std::uint32_t length = reader.readU32();
        if (length > reader.remaining())
            throw EReadError();
        layout.Criteria = reader.readBytes(length);
    }
    if (!reader.atEnd())
        throw EReadError();
    return layout;
}

} // namespace kestrum
