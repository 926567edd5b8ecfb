#include "files/Translation.h"

#include "files/Files.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// The variable's value, or "" when it is unset.
std::string_view variable(const Environment& environment, const char* name)
{
    const char* value = environment(name);
    return value ? std::string_view(value) : std::string_view();
}

// The plain C locale: the texts exactly as written, whatever LANGUAGE says (as gettext has it).
bool isCLocale(std::string_view locale)
{
    return locale == "C" || locale == "POSIX";
}

// C.UTF-8 and the like: a character set, but no language of their own.
bool namesNoLanguage(std::string_view locale)
{
    const std::string_view name = locale.substr(0, locale.find_first_of(".@"));
    return name == "C" || name == "POSIX";
}

// "de_DE.UTF-8" -> "de_DE", "sr_RS.UTF-8@latin" -> "sr_RS@latin": gettext finds the catalogue
// by language, country and variant; the codeset is always UTF-8 here.
std::string withoutCodeset(std::string_view locale)
{
    const std::size_t dot = locale.find('.');
    if (dot == std::string_view::npos)
        return std::string(locale);
    const std::size_t at = locale.find('@', dot);
    std::string out(locale.substr(0, dot));
    if (at != std::string_view::npos)
        out += locale.substr(at);
    return out;
}

// Where the catalogues are and what the system asked for at start-up: a language chosen in the
// game can always go back to it (LANGUAGE itself is overwritten to speak the chosen one).
struct Spoken {
    std::filesystem::path folder;
    std::string systemLanguages;
    // What gettext speaks now.
    std::string current;
    bool started = false;
};

Spoken& spoken()
{
    static Spoken state;
    return state;
}

// gettext speaks `languages` ("de_DE:fr"; "" for English) from the catalogues in the folder. Setting
// the locale and the text domain again tells gettext to forget the texts it looked up before.
void speak(const std::string& languages)
{
    spoken().current = languages;
    // gettext reads LANGUAGE only when the messages locale is not C. C.UTF-8 is built into the C
    // library: with it the catalogues work even where the player's own locale is not installed.
    if (languages.empty()) {
        unsetenv("LANGUAGE");
        std::setlocale(LC_MESSAGES, "C");
    } else {
        setenv("LANGUAGE", languages.c_str(), 1);
        if (!std::setlocale(LC_MESSAGES, "C.UTF-8"))
            std::setlocale(LC_MESSAGES, "");
    }
    bindtextdomain("quillfen", spoken().folder.c_str());
    bind_textdomain_codeset("quillfen", "UTF-8");
    textdomain("quillfen");
}

// What one printf conversion takes from the argument list: its length modifier and a letter
// for the type ("d" an int, "ld" a long, "f" a double, "s" a string, "*" a width or precision).
using Conversions = std::vector<std::string>;

// The arguments a printf format takes, in argument order ("%2$s" numbers them); nothing for a
// text that is no format printf may be given: %n, an unknown conversion, a "%" at the end,
// numbered and unnumbered arguments mixed, an argument taken twice as different types, or one
// left out (printf cannot skip it).
// Reads a format's conversions one at a time, in the order printf takes their arguments.
class FormatReader {
public:
    explicit FormatReader(std::string_view format)
        : format(format)
    {
    }

    std::optional<Conversions> read()
    {
        while ((i = format.find('%', i)) != std::string_view::npos) {
            if (++i < format.size() && format[i] == '%') {
                ++i;
                continue;
            }
            if (!conversion())
                return std::nullopt;
        }
        if (numbered && unnumbered)
            return std::nullopt;
        Conversions out;
        for (const auto& [at, type] : arguments) {
            if (at != static_cast<int>(out.size()) + 1)
                return std::nullopt;
            out.push_back(type);
        }
        return out;
    }

private:
    // "N$" at i: the argument's number, or 0 without one (the next argument in line).
    int position()
    {
        std::size_t j = i;
        int number = 0;
        while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) && number < 1000)
            number = number * 10 + (format[j++] - '0');
        if (j == i || j >= format.size() || format[j] != '$' || number == 0)
            return 0;
        i = j + 1;
        return number;
    }

    // The argument `number` (or the next) is of `type`; false when it was already another.
    bool take(int number, const std::string& type)
    {
        (number > 0 ? numbered : unnumbered) = true;
        const int at = number > 0 ? number : next++;
        const auto [kept, added] = arguments.emplace(at, type);
        return added || kept->second == type;
    }

    // The width, then the precision, each a number or "*" (an argument of its own).
    bool widthAndPrecision()
    {
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (i >= format.size() || format[i] != '.')
                    return true;
                ++i;
            }
            if (i < format.size() && format[i] == '*') {
                ++i;
                if (!take(position(), "*"))
                    return false;
            } else {
                while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
                    ++i;
            }
        }
        return true;
    }

    // The conversion after a "%": false for one printf may not be given.
    bool conversion()
    {
        const int number = position();
        while (i < format.size() && std::string_view("-+ #0'I").find(format[i]) != std::string_view::npos)
            ++i;
        if (!widthAndPrecision())
            return false;
        std::string type;
        while (i < format.size() && std::string_view("hlLqjzt").find(format[i]) != std::string_view::npos)
            type += format[i++];
        if (i >= format.size())
            return false;
        const char letter = format[i++];
        switch (letter) {
        case 'd': case 'i': type += 'd'; break;
        case 'o': case 'u': case 'x': case 'X': type += 'u'; break;
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': type += 'f'; break;
        case 'c': case 's': case 'p': type += letter; break;
        default: return false;
        }
        return take(number, type);
    }

    std::string_view format;
    std::size_t i = 0;
    std::map<int, std::string> arguments;
    int next = 1;
    bool numbered = false;
    bool unnumbered = false;
};

std::optional<Conversions> conversionsOf(std::string_view format)
{
    return FormatReader(format).read();
}

} // namespace

const char* checkedTranslation(const char* english, const char* translation)
{
    if (translation == english || (!std::strchr(english, '%') && !std::strchr(translation, '%')))
        return translation;
    // English that is no format is never handed to printf, nor is its translation.
    const std::optional<Conversions> wanted = conversionsOf(english);
    if (!wanted || conversionsOf(translation) == wanted)
        return translation;
    static std::set<const char*> reported;
    if (reported.insert(translation).second)
        logMessage(std::string("Translation: \"") + translation + "\" takes other values than \"" + english +
                   "\"; the English text is shown");
    return english;
}

const char* C_(const char* context, const char* text)
{
    // The catalogues key a text of a context as "context\4text".
    const std::string key = std::string(context) + '\4' + text;
    const char* found = gettext(key.c_str());
    return found == key.c_str() ? text : checkedTranslation(text, found);
}

ShownText shownText(const char* english)
{
    const char* text = translated(english);
    return {text, text != english};
}

std::string wantedLanguages(const Environment& environment)
{
    std::string_view locale = variable(environment, "LC_ALL");
    if (locale.empty())
        locale = variable(environment, "LC_MESSAGES");
    if (locale.empty())
        locale = variable(environment, "LANG");
    if (!locale.empty() && isCLocale(locale))
        return "";
    std::string languages(variable(environment, "LANGUAGE"));
    if (!locale.empty() && !namesNoLanguage(locale)) {
        if (!languages.empty())
            languages += ':';
        languages += withoutCodeset(locale);
    }
    return languages;
}

void startTranslations(const std::filesystem::path& folder, const Environment& environment)
{
    spoken() = {folder, wantedLanguages(environment), {}, true};
    speak(spoken().systemLanguages);
}

std::vector<std::string> availableLanguages()
{
    std::vector<std::string> codes = {"en"};
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(spoken().folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string code = it->path().filename().string();
        std::error_code missing;
        if (code != "en" && std::filesystem::is_regular_file(it->path() / "LC_MESSAGES" / "quillfen.mo", missing))
            codes.push_back(code);
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::string useLanguage(const std::string& code)
{
    if (!spoken().started)
        return {};
    const std::vector<std::string> codes = availableLanguages();
    if (code.empty() || std::find(codes.begin(), codes.end(), code) == codes.end()) {
        speak(spoken().systemLanguages);
        return {};
    }
    // English is the texts as written: no catalogue at all.
    speak(code == "en" ? std::string() : code);
    return code;
}

std::string languageName(const std::string& code)
{
    if (!spoken().started)
        return languageInUse();
    // Each catalogue names its own language: spoken for a moment, then back to the one in use.
    const std::string languagesBefore = spoken().current;
    speak(code == "en" ? std::string() : code);
    std::string name = languageInUse();
    speak(languagesBefore);
    return name;
}

const char* languageInUse()
{
    // TRANSLATORS: the name of the language of this catalogue, in that language and in capitals
    // ("DEUTSCH", "FRANÇAIS"): the settings screen shows it as the language in use.
    return _("ENGLISH");
}

std::string formatText(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<std::size_t>(length));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}
