#include "app/Translation.h"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <string_view>

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
    const std::string languages = wantedLanguages(environment);
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
    bindtextdomain("quillfen", folder.c_str());
    bind_textdomain_codeset("quillfen", "UTF-8");
    textdomain("quillfen");
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
