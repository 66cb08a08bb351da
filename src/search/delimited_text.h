#pragma once

#include "text/date_time.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ISettingsStore;

// Delimited text as the export writes it and the import reads it.

// One item of a field order list: the column name and its tick.
struct TFieldItem {
    std::string Name;
    bool Checked = false;
};

// The separator items of the dialogs' drop-down, in order.
inline constexpr const char* kSeparatorItems[] = {"Comma", "Tab", "New Line"};

// "Comma" -> ",", "Tab" -> tab, "New Line" -> CR LF; any other text is used as typed.
std::string ResolveSeparator(std::string_view text);
// The qualifier as used: trimmed of blanks.
std::string ResolveQualifier(std::string_view text);

// q + value + q with every q inside doubled; the value alone when q is empty.
std::string QuoteField(std::string_view value, std::string_view q);

// Splits one line at `sep`. A field that starts with `q` runs to the q that is
// followed by the separator or the end of the line; a doubled q inside it is
// one q, and a lone q inside is kept (older files did not double it). A field
// whose closing q is missing runs to the end of the line (TDelimitedReader
// calls that record malformed).
// An empty sep gives the whole line as one field; an empty q turns quoting off.
std::vector<std::string> SplitDelimited(std::string_view line, std::string_view sep,
                                        std::string_view q);

// Lines ended by CR, LF or CR LF; a final line end does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text);

// One record of delimited text.
struct TDelimitedRecord {
    std::vector<std::string> Fields;
    size_t Line = 0;      // the line it starts on, from 1
    std::string_view Raw; // its text as it stands in the file
    // An unpaired qualifier: a quoted field that never closes, or whose
    // closing could only be found past a line break with a lone qualifier
    // on the way. Such a record ends with its first line.
    bool Malformed = false;
};

// Reads records, not lines: a quoted field may hold separators and line
// breaks (as the export writes a name that has them). A record ends at a
// line end outside quotes. With a line-end separator every field stands on
// lines of its own and `perRecord` fields make one record. Linear in the
// text, however its quotes fall.
class TDelimitedReader {
public:
    TDelimitedReader(std::string_view text, std::string sep, std::string q, size_t perRecord = 1);
    // False at the end of the text.
    bool Next(TDelimitedRecord& rec);

private:
    enum class TEnd { Separator, Line, Text };
    TEnd ReadField(std::string& field);
    bool At(size_t i, std::string_view what) const;
    size_t LineEndLength(size_t i) const; // 0 when no line end starts at i
    void Advance(size_t to);              // moves to `to`, counting line ends

    std::string_view text_;
    std::string sep_, q_;
    bool lineSeparated_;
    size_t perRecord_;
    size_t pos_ = 0;
    size_t line_ = 1;
    bool malformed_ = false;
    // Line starts from which a quoted field is known to fail (up to
    // brokenTo_), so that no later field scans that stretch again: a file of
    // unclosed quotes would otherwise take quadratic time.
    size_t firstBreak_ = 0;
    size_t brokenFrom_ = std::string_view::npos, brokenTo_ = std::string_view::npos;
};

// The text of a file to import: a UTF-8 byte-order mark is dropped; a UTF-16
// mark (either byte order) means UTF-16 text, which becomes UTF-8.
std::string DecodeTextBytes(std::string bytes);
// A whole text file through DecodeTextBytes; "-" reads standard input.
// Otherwise only a regular file is read: the errors are those of
// OpenInputFile ("errIsFolder", "errIsFifo", ...).
std::string ReadTextFile(const std::string& path);

// A size as exported: digits, blanks ignored (the export groups digits by
// threes with spaces), and for KB and MB a fraction after "." and the unit word (the
// English one or the given translation, any case). False for anything else
// (a comma, a sign, a fraction of a byte) or a size that does not fit 64 bits.
bool ParseSizeText(std::string_view text, int64_t& out, std::string_view kbText = "KB",
                   std::string_view mbText = "MB");

// ISO "YYYY-MM-DD[ HH:MM[:SS]]" first, then the user's locale date (and time).
bool ParseDateText(const std::string& text, TDateTime& out);

// Field order lists in the settings store: under key + "\Fields\" + i the
// values "Name" and "Checked"; each read with the current item as default.
void ReadFieldItems(const ISettingsStore& store, const std::string& key,
                    std::vector<TFieldItem>& items);
void WriteFieldItems(ISettingsStore& store, const std::string& key,
                     const std::vector<TFieldItem>& items);
// The ticked names in list order, each once.
std::vector<std::string> CheckedFieldNames(const std::vector<TFieldItem>& items);
// Ticks exactly `names` (in that order first, the others after, unticked);
// names the list lacks are added. Used by the command line's --fields.
void SetFieldOrder(std::vector<TFieldItem>& items, const std::vector<std::string>& names);
