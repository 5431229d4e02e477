#include "editors/MaskEditMode.h"

#include "editors/MaskEditRegExprMode.h"
#include "editors/MaskEditStandardMode.h"

namespace kestrum {

std::unique_ptr<TkvMaskEditCustomMode> CreateMaskEditMode(TkvEditMaskKind kind)
{
    switch (kind) {
    case emkRegExpr:
        return std::make_unique<TkvMaskEditRegExprMode>();
    case emkRegExprEx:
        return std::make_unique<TkvMaskEditRegExprExMode>();
    case emkStandard:
        break;
    }
    return std::make_unique<TkvMaskEditStandardMode>();
}

bool IsMaskEmpty(const QString &mask)
{
    return mask.trimmed().isEmpty();
}

} // namespace kestrum
