#pragma once
// ".flt" filter files: exactly one criteria stream, nothing before or after
// it. Reading and writing answer a result with the message to show; nothing
// here shows a box.
#include <QString>

#include <string>

namespace kestrum {

class TkvFilterCriteria;

struct TkvFilterFileResult {
    bool Ok = true;
    QString Message; //!< what went wrong, for the user (empty when Ok)
    static TkvFilterFileResult Failure(const QString &message) { return {false, message}; }
    explicit operator bool() const { return Ok; }
};

//! Larger files are not filters (a real one is a few hundred bytes).
inline constexpr qint64 MaxFilterFileSize = 16 * 1024 * 1024;

//! Reads the whole file: a missing or unreadable file, a folder or an
//! oversized file fails with the file name in the message.
TkvFilterFileResult ReadFilterFileBytes(const QString &fileName, std::string &bytes);

//! Reads the bytes into the criteria when they hold exactly one criteria
//! stream; an empty, short, malformed or longer stream fails with
//! "Stream read error" and leaves the criteria as it was.
TkvFilterFileResult ParseFilterStream(const std::string &bytes, TkvFilterCriteria &criteria);

//! Writes the bytes as the whole file. The old file is replaced only once the
//! new one is complete, so a failed write loses nothing.
TkvFilterFileResult WriteFilterFileBytes(const QString &fileName, const std::string &bytes);

} // namespace kestrum
