#pragma once
// Published options of the grid's option objects: a getter named after the
// option, Set<Name> that calls the owner's Changed() only when the value
// differs, and the F-member holding it.

//! Declares a published option: a getter named after it, Set<Name> that
//! reports a change only when the value differs, and its F-member.
#define KV_GRID_OPTION(Type, Name, Default)                                                                  \
public:                                                                                                      \
    Type Name() const                                                                                        \
    {                                                                                                        \
        return F##Name;                                                                                      \
    }                                                                                                        \
    void Set##Name(Type value)                                                                               \
    {                                                                                                        \
        if (F##Name == value)                                                                                \
            return;                                                                                          \
        F##Name = value;                                                                                     \
        Changed();                                                                                           \
    }                                                                                                        \
                                                                                                             \
private:                                                                                                     \
    Type F##Name = Default;
