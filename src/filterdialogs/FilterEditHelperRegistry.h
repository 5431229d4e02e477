#pragma once
// The registry of filter edit helpers by editor properties class. It keeps
// the tree of the properties classes it knows; a column's helper is the one
// registered for the nearest class up that tree from the class of the
// column's properties. A properties class the registry was never told about
// starts from the deepest known class it derives from.
#include "editors/EditProperties.h"
#include "filterdialogs/FilterEditHelper.h"

#include <functional>
#include <memory>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <vector>

namespace kestrum {

class TkvFilterEditHelperRegistry {
public:
    //! An empty registry that knows only the root properties class.
    TkvFilterEditHelperRegistry();
    ~TkvFilterEditHelperRegistry();
    TkvFilterEditHelperRegistry(const TkvFilterEditHelperRegistry &) = delete;
    TkvFilterEditHelperRegistry &operator=(const TkvFilterEditHelperRegistry &) = delete;

    //! The program's registry, with the helpers of every editor kind built in.
    static TkvFilterEditHelperRegistry &Instance();

    //! Makes a properties class known below its parent (which must be known).
    template <class Properties, class Parent> void RegisterClass()
    {
        static_assert(std::is_base_of_v<Parent, Properties>);
        static_assert(std::is_base_of_v<TkvCustomEditProperties, Parent>);
        AddClass(typeid(Properties), typeid(Parent), [](const TkvCustomEditProperties &properties) {
            return dynamic_cast<const Properties *>(&properties) != nullptr;
        });
    }
    //! Makes the class known (when it is not) and gives it the helper,
    //! replacing any helper it had.
    template <class Properties, class Parent>
    void Register(std::shared_ptr<const TkvCustomFilterEditHelper> helper)
    {
        RegisterClass<Properties, Parent>();
        SetHelper(typeid(Properties), std::move(helper));
    }
    //! Takes the class's own helper away; its descendants fall back further up.
    template <class Properties> void Unregister() { SetHelper(typeid(Properties), nullptr); }

    //! The helper for the properties, or null when no class up the tree has one.
    const TkvCustomFilterEditHelper *FindHelper(const TkvCustomEditProperties &properties) const;

private:
    struct ClassEntry {
        std::type_index Type;
        int Parent; //!< index of the parent entry, -1 for the root
        int Depth;
        std::function<bool(const TkvCustomEditProperties &)> IsInstance;
        std::shared_ptr<const TkvCustomFilterEditHelper> Helper;
    };

    void AddClass(std::type_index type, std::type_index parent,
                  std::function<bool(const TkvCustomEditProperties &)> isInstance);
    void SetHelper(std::type_index type, std::shared_ptr<const TkvCustomFilterEditHelper> helper);
    int IndexOf(std::type_index type) const;
    //! The entry of the class itself, else of the deepest known class it derives from.
    int NearestClass(const TkvCustomEditProperties &properties) const;

    std::vector<ClassEntry> FClasses;
};

//! Registers the helpers of the editor kinds of this code base.
void RegisterStandardFilterEditHelpers(TkvFilterEditHelperRegistry &registry);

//! The program registry's helper for the properties, or null.
inline const TkvCustomFilterEditHelper *FindFilterEditHelper(const TkvCustomEditProperties &properties)
{
    return TkvFilterEditHelperRegistry::Instance().FindHelper(properties);
}

} // namespace kestrum
