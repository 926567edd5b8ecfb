#include "app/Translation.h"

#include <algorithm>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <string_view>
#include <system_error>

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

} // namespace

const char* C_(const char* context, const char* text)
{
    // The catalogues key a text of a context as "context\4text".
    const std::string key = std::string(context) + '\4' + text;
    const char* found = gettext(key.c_str());
    return found == key.c_str() ? text : found;
}

ShownText shownText(const char* english)
{
    const char* text = gettext(english);
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
