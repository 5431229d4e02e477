#pragma once
// Named parameters of a statement: ":name" markers found when the SQL text is
// set. Values are always bound to the statement, never pasted into its text.
#include "core/Variant.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrum {

class TDbParameter {
public:
    explicit TDbParameter(const QString &name) : FName(name) {}
    const QString &Name() const { return FName; }
    const Variant &Value() const { return FValue; }
    void SetValue(const Variant &value) { FValue = value; }
    void Clear() { FValue = Variant(); }

private:
    QString FName;
    Variant FValue; // Empty until assigned; bound as NULL
};

//! The parameter list. A name used several times in a statement is one
//! parameter, bound at every place it occurs.
class TDbParameters {
public:
    int Count() const { return int(FItems.size()); }
    TDbParameter *Items(int index) const { return FItems.at(std::size_t(index)).get(); }
    //! Ignores case; raises EDatabaseError "Parameter 'x' not found" when missing.
    TDbParameter *ParamByName(const QString &name) const;
    //! Ignores case; nullptr when missing.
    TDbParameter *FindParam(const QString &name) const;
    //! Replaces the list by these names, keeping the values of names that
    //! stay (so re-setting the same text does not lose assigned values).
    void Rebuild(const std::vector<QString> &names);
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TDbParameter>> FItems;
};

} // namespace kestrum
