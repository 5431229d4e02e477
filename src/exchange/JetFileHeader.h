#pragma once
// Recognising an Access (Jet 3/4, ACE) database file by its first page.
#include <QString>

#include <cstddef>

namespace kestrum {

//! The file header's bytes 4..19 name the engine: "Standard Jet DB" or
//! "Standard ACE DB" followed by a zero byte.
bool IsJetHeader(const unsigned char *bytes, std::size_t length);

//! Reads the first bytes of `path`; false for a missing or unreadable file.
bool IsJetFile(const QString &path);

} // namespace kestrum
