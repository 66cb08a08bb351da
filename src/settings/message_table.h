#pragma once

#include <string>
#include <string_view>
#include <vector>

// The message table: every text a message key stands for. Keys compare without
// regard to case. Texts are kept as stored (a text may be wrapped in double
// quotes with the quotes inside doubled); GetMessageText returns display text.
//
// Reads may come from any thread; changes (a language being applied) happen on
// the user-interface thread while nothing else runs.

// Display text of a key; an unknown key gives the key itself.
std::string GetMessageText(std::string_view key);
// The same with every "%s" filled with `arg` in one pass, so an argument that
// itself holds "%s" or "%d" is taken literally.
std::string GetMessageText(std::string_view key, std::string_view arg);
// Successive "%s" take successive arguments; missing ones are left empty.
std::string GetMessageText(std::string_view key, const std::vector<std::string>& args);

// The fill rule on its own, for texts that do not come from the table.
std::string FillMessage(std::string_view text, const std::vector<std::string>& args);
// Stored text to display text: a pair of outer double quotes is removed and
// the quotes inside, doubled for storage, become single again.
std::string UnquoteMessageText(std::string_view stored);

// True when the table has the key.
bool HasMessageKey(std::string_view key);
// Stored text of a key, or empty when unknown.
std::string StoredMessageText(std::string_view key);

// For the translation layer. A key that is not in the table is added.
void SetMessageText(std::string_view key, std::string_view stored);
// Applies the key=text lines of a language file that name message keys (the
// others are window texts): for each key the first line wins; a line with an
// empty text changes nothing.
// Returns how many texts were replaced.
int ApplyMessageTexts(const std::vector<std::string>& lines);
// Back to the built-in English texts.
void ResetMessageTable();
// Every key=stored-text line in table order (keys as the table has them).
std::vector<std::string> MessageTableLines();
