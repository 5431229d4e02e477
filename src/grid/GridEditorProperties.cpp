#include "grid/GridEditorProperties.h"

#include "editors/CalcEdit.h"
#include "editors/CurrencyEditProperties.h"
#include "editors/DateEditProperties.h"
#include "editors/MaskEditProperties.h"
#include "editors/TextEditProperties.h"

#include <array>
#include <utility>

namespace kestrum {

namespace {

constexpr std::array<std::pair<TkvGridEditorItemKind, const char *>, 6> PropertiesClassNames{{
    {TkvGridEditorItemKind::Mask, "TkvMaskEditProperties"},
    {TkvGridEditorItemKind::Currency, "TkvCurrencyEditProperties"},
    {TkvGridEditorItemKind::Date, "TkvDateEditProperties"},
    {TkvGridEditorItemKind::Memo, "TkvMemoProperties"},
    {TkvGridEditorItemKind::Calc, "TkvCalcEditProperties"},
    {TkvGridEditorItemKind::Text, "TkvTextEditProperties"},
}};

} // namespace

std::unique_ptr<TkvCustomEditProperties> CreateEditorProperties(TkvGridEditorItemKind kind)
{
    switch (kind) {
    case TkvGridEditorItemKind::Currency:
        return std::make_unique<TkvCurrencyEditProperties>();
    case TkvGridEditorItemKind::Date:
        return std::make_unique<TkvDateEditProperties>();
    case TkvGridEditorItemKind::Memo:
        return std::make_unique<TkvMemoProperties>();
    case TkvGridEditorItemKind::Calc:
        return std::make_unique<TkvCalcEditProperties>();
    case TkvGridEditorItemKind::Text:
        return std::make_unique<TkvTextEditProperties>();
    case TkvGridEditorItemKind::Image:
    case TkvGridEditorItemKind::Blob: {
        auto properties = std::make_unique<TkvMaskEditProperties>();
        properties->SetReadOnly(true);
        return properties;
    }
    default:
        return std::make_unique<TkvMaskEditProperties>();
    }
}

bool EditorItemKindByClassName(const QString &className, TkvGridEditorItemKind &kind)
{
    for (const auto &[itemKind, name] : PropertiesClassNames)
        if (className == QLatin1String(name)) {
            kind = itemKind;
            return true;
        }
    return EditRepositoryItemKindByClassName(className, kind);
}

} // namespace kestrum
