#pragma once
// Splitting CSV text into records of cells: RFC 4180 quoting (separators,
// doubled quotes and line ends inside quotes), any of the three line ends,
// and the lenient readings spreadsheets rely on (blanks before an opening
// quote, text after a closing one).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum::exchange {

class TCsvRecordReader {
public:
    //! `text` is UTF-8 and must outlive the reader.
    TCsvRecordReader(std::string_view text, char separator) : FText(text), FSeparator(separator) {}

    //! The next record: its cells in cells[0..count), the line it begins on.
    //! Cells past count keep their storage for the next call. False at the
    //! end. Raises EImportError when a quote is never closed.
    bool Next(std::vector<std::string> &cells, std::size_t &count, int &line);
    //! Whether cell `index` of the last record was quoted: its text is then
    //! exact, blanks at its ends included.
    bool Quoted(std::size_t index) const { return index < FQuoted.size() && FQuoted[index]; }
    std::size_t Position() const { return FAt; }
    std::size_t Size() const { return FText.size(); }

private:
    std::string_view FText;
    char FSeparator;
    std::size_t FAt = 0;
    int FLine = 1;
    std::vector<bool> FQuoted;
};

//! The separator that splits the first records of `text` most evenly: a
//! comma, a semicolon or a tab (a comma when nothing tells).
char DetectSeparator(std::string_view text);

} // namespace kestrum::exchange
