#include "filterdialogs/FilterDialogOperators.h"

#include <array>

namespace kestrum {

QString FilterDialogOperatorCaption(TkvFilterDialogOperator op)
{
    static const std::array<const char *, FilterDialogOperatorLast> captions = {
        "等于",   "不等于", "小于",     "小与等于", "大于",     "大于等于", "类似",   "不类似", "为空",
        "不为空", "取范围", "不在范围", "在之中",   "不在之中", "昨天",     "今天",   "明天",   "前一周",
        "前一月", "去年",   "本周",     "本月",     "今年",     "下一周",   "下一月", "明年",
    };
    if (!IsValidFilterDialogOperator(op))
        return QString();
    return QString::fromUtf8(captions[std::size_t(op - FilterDialogOperatorFirst)]);
}

TkvFilterOperatorCode CriteriaOperatorOf(TkvFilterDialogOperator op)
{
    switch (op) {
    case fdoBlanks:
        return ocEqual;
    case fdoNonBlanks:
        return ocNotEqual;
    default:
        break;
    }
    if (op < fdoBlanks)
        return TkvFilterOperatorCode(int(op) - int(fdoEqual));
    return TkvFilterOperatorCode(int(op) - int(fdoBetween) + int(ocBetween));
}

TkvFilterDialogOperator FilterDialogOperatorOf(TkvFilterOperatorCode code, bool valueIsNull)
{
    if (valueIsNull && code == ocEqual)
        return fdoBlanks;
    if (valueIsNull && code == ocNotEqual)
        return fdoNonBlanks;
    if (code < ocBetween)
        return TkvFilterDialogOperator(int(code) + int(fdoEqual));
    return TkvFilterDialogOperator(int(code) - int(ocBetween) + int(fdoBetween));
}

} // namespace kestrum
