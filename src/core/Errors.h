#pragma once
// The exception family. Every failure in the system is an exception that
// carries its message text (UTF-8); boxes and dialogs show that text.
#include <stdexcept>
#include <string>

namespace kestrum {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string &message) : std::runtime_error(message) {}
    std::string message() const { return what(); }
};

//! Two Variants of kinds that cannot be compared or converted at all.
class EVariantTypeError : public Exception {
public:
    EVariantTypeError() : Exception("Invalid variant type conversion") {}
    explicit EVariantTypeError(const std::string &message) : Exception(message) {}
};

//! A value whose kind allows the conversion but whose content does not
//! (a string that is no number or date, an integer out of range).
class EVariantConversionError : public Exception {
public:
    explicit EVariantConversionError(const std::string &message = "Could not convert variant")
        : Exception(message)
    {
    }
};

//! An array index outside the array's bounds.
class EVariantBadIndexError : public Exception {
public:
    EVariantBadIndexError() : Exception("Variant or safe array index out of bounds") {}
};

//! A short or malformed stream.
class EReadError : public Exception {
public:
    EReadError() : Exception("Stream read error") {}
};

class EWriteError : public Exception {
public:
    EWriteError() : Exception("Stream write error") {}
};

//! A byte sequence that is not valid in the narrow code page, or text that
//! the code page cannot hold.
class EEncodingError : public Exception {
public:
    explicit EEncodingError(const std::string &message) : Exception(message) {}
};

} // namespace kestrum
