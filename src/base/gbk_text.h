// Text rules of the GBK code page, in which every 8-bit string of the program is held.
// A character is one byte, or a lead byte (0x81..0xFE) followed by a trail byte
// (0x40..0xFE but 0x7F); the
// rules below walk characters, so a double-byte character is never split or matched
// from its middle.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

bool IsGbkLeadByte(unsigned char byte);
bool IsGbkTrailByte(unsigned char byte);

// Bytes of the character that starts at pos: 2 for a lead byte followed by a trail byte,
// else 1. A lead byte without a valid trail (broken text) stands alone, so it cannot
// swallow the blank or quote after it.
std::size_t GbkCharLength(std::string_view text, std::size_t pos);

// Space, tab, line feed, vertical tab, form feed, carriage return.
bool IsBlank(char c);

// Removes blanks at both ends.
std::string TrimBlanks(std::string_view text);

// Every byte is '0'..'9'; the empty text passes.
bool IsAllDigits(std::string_view text);

// Position of the first occurrence of pattern at or after start, or -1; -1 also for a
// negative start or one past the end. A match never begins on a trail byte.
int FindText(std::string_view text, std::string_view pattern, int start);

// count bytes from start; a negative start or count counts as 0, a count past the end
// stops there, a start past the end gives the empty text.
std::string CutText(std::string_view text, int start, int count);

// Whole-text comparison with ASCII letters folded; double-byte characters compare as they are.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The C library's base-10 reading: leading blanks and a sign, then digits up to the first
// other character; no digits give 0. Values beyond 32 bits saturate instead of wrapping.
int ReadDecimal(std::string_view text);

}  // namespace kivo
