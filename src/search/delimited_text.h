#pragma once

#include "analysis/date_time.h"

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
// one q, and a lone q inside is kept (older files did not double it).
// An empty sep gives the whole line as one field; an empty q turns quoting off.
std::vector<std::string> SplitDelimited(std::string_view line, std::string_view sep,
                                        std::string_view q);

// Lines ended by CR, LF or CR LF; a final line end does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text);

// A size as exported: blanks ignored, digits with an optional fraction, and an
// optional unit word ("KB"/"MB" or the given translations, any case). False
// when it is not such a number or does not fit 64 bits.
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
