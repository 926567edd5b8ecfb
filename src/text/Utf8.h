#pragma once

#include <string>
#include <string_view>

// The characters of a UTF-8 text. A byte that starts no well-formed sequence (a stray
// continuation byte, a sequence cut short, an overlong or surrogate form) becomes one U+FFFD,
// so a broken text still shows where it is broken.
std::u32string decodeUtf8(std::string_view text);
// The character starting at byte i (which must be inside the text), decoded as decodeUtf8
// does; i moves past it. Walks a text without making a copy of it.
char32_t nextCharacter(std::string_view text, std::size_t& i);
std::string encodeUtf8(std::u32string_view text);

// The text in capitals, for the letters of the game's languages (Latin with its accents, Greek,
// Cyrillic); every other character as it is ("ß" too: it has no one-letter capital here).
std::string upperCase(std::string_view text);
