#pragma once
// A host's cache of in-place editors (a grid's): one editor per properties
// object, created hidden on first use and lent those properties. The list
// owns the editors and drops an entry when its properties go away.
#include "editors/CustomEdit.h"

#include <memory>
#include <typeinfo>
#include <vector>

namespace kestrum {

class TkvInplaceEditList {
public:
    TkvInplaceEditList() = default;
    ~TkvInplaceEditList();
    TkvInplaceEditList(const TkvInplaceEditList &) = delete;
    TkvInplaceEditList &operator=(const TkvInplaceEditList &) = delete;

    //! The cached editor for properties, or a new one of the class the
    //! properties name (raises when they name none).
    TkvCustomEdit &GetEdit(TkvCustomEditProperties &properties);
    TkvCustomEdit *FindEdit(const TkvCustomEditProperties &properties) const;
    //! The first cached editor whose properties are of the given class.
    TkvCustomEdit *FindEditByPropertiesClass(const std::type_info &propertiesClass) const;
    //! Frees the editor of properties.
    void RemoveItem(const TkvCustomEditProperties &properties);
    int Count() const { return int(FItems.size()); }

    //! Told before an editor is freed because its properties went away.
    std::function<void(TkvCustomEdit *)> OnEditRemoving;

private:
    struct Item {
        TkvCustomEditProperties *Properties;
        std::unique_ptr<TkvCustomEdit> Edit;
        int NotificationId;
    };
    std::vector<Item> FItems;
};

class EkvInplaceEditError : public Exception {
public:
    EkvInplaceEditError() : Exception("The editor properties name no in-place editor") {}
};

} // namespace kestrum
