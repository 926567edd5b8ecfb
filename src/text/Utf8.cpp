#include "text/Utf8.h"

namespace {

constexpr char32_t replacement = 0xFFFD;

bool continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Latin-1 and Latin Extended-A pair their capitals and small letters in two ways.
char32_t upperLatin(char32_t c)
{
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c & ~char32_t{1};
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c : c - 1;
    return c;
}

char32_t upper(char32_t c)
{
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c < 0x80)
        return c;
    if (c < 0x180)
        return upperLatin(c);
    if (c == 0x3C2) // the final sigma
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3C9)
        return c - 0x20;
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF))
        return c & ~char32_t{1};
    return c;
}

} // namespace

char32_t nextCharacter(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t c = 0;
    char32_t lowest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
        lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
        lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
        lowest = 0x10000;
    }
    int read = 1;
    while (length > 0 && read < length && i + static_cast<std::size_t>(read) < text.size() &&
           continuation(static_cast<unsigned char>(text[i + static_cast<std::size_t>(read)]))) {
        c = (c << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(read)]) & 0x3F);
        ++read;
    }
    const bool whole = length > 0 && read == length;
    const bool wellFormed = whole && c >= lowest && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    // A broken sequence gives one replacement for what it took, and the next byte starts afresh.
    i += static_cast<std::size_t>(read);
    return wellFormed ? c : replacement;
}

std::u32string decodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        out += nextCharacter(text, i);
    return out;
}

std::string encodeUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = replacement;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string upperCase(std::string_view text)
{
    std::u32string characters = decodeUtf8(text);
    for (char32_t& c : characters)
        c = upper(c);
    return encodeUtf8(characters);
}
