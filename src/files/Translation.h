#pragma once

#include <libintl.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Every text a player reads goes through the catalogues of the text domain "quillfen"
// (po/LANG.po, compiled to LANG/LC_MESSAGES/quillfen.mo). Untranslated, or in the C locale,
// a text is the English it is written as here, word for word.

// The player's language's version of a text (marks it for the catalogues, too).
#define _(text) translated(text)
// Marks a text kept in a table for the catalogues; it is translated where it is shown.
#define N_(text) text
// The same for a text of a context: "LEFT" the key is not "LEFT" the action.
#define NC_(context, text) text

// The catalogue's `translation` of `english`, unless it takes other printf arguments than the
// English (a "%s" where the English has "%d" crashes the printf it is handed to): then the
// English, said once. Every lookup of a text goes through it.
const char* checkedTranslation(const char* english, const char* translation) __attribute__((format_arg(1)));

__attribute__((format_arg(1))) inline const char* translated(const char* text)
{
    return checkedTranslation(text, gettext(text));
}

// The player's language's version of a text kept in a table (marked with N_); "" stays "" (gettext
// would hand back the catalogue's header for it).
inline const char* translate(const char* text)
{
    return text[0] != '\0' ? translated(text) : text;
}

// The player's language's version of a text in a context ("key": the name of a key).
const char* C_(const char* context, const char* text) __attribute__((format_arg(2)));

// A text in the player's language, and whether the catalogue had another text for it: laid out
// for its English, a line stays where it always was; a translation is placed by its measure.
struct ShownText {
    const char* text;
    bool translated;
};
ShownText shownText(const char* english);

// The catalogues the player asks for, best first, as gettext's LANGUAGE spells them ("de_DE:fr"),
// or "" for English. LC_ALL, else LC_MESSAGES, else LANG is the locale for messages: the plain
// "C" and "POSIX" ask for English whatever LANGUAGE says, as in every gettext program; otherwise
// the list in LANGUAGE comes first, then that locale without its codeset (C.UTF-8 names no
// language: LANGUAGE alone chooses, as when nothing is set).
using Environment = std::function<const char*(const char*)>;
std::string wantedLanguages(const Environment& environment = std::getenv);

// Makes gettext speak the wanted languages from the catalogues in `folder`, whether or not the
// system has those locales installed (the game needs only its own catalogues). Numbers, dates and
// the order of letters stay the C locale's: config.txt and the recordings read the same everywhere.
// Called at start-up, and again by tests that change the variables.
void startTranslations(const std::filesystem::path& folder, const Environment& environment = std::getenv);

// The language the texts are in, in that language ("DEUTSCH"), for the settings screen.
const char* languageInUse();

// The languages the game can speak: English, which needs no catalogue, and every catalogue in the
// folder startTranslations was given, by their codes, sorted ("de", "en", "es", ...).
std::vector<std::string> availableLanguages();
// Speaks `code` from now on, whatever the system asks for ("de"); "" or a code the game has no
// catalogue for: the system's languages, as at start-up. Returns the code spoken, "" for the
// system's. Every text read after it is in the new language.
std::string useLanguage(const std::string& code);
// The name of a language in itself, as its catalogue gives it ("DEUTSCH").
std::string languageName(const std::string& code);

// printf into a string: for a translated format, whose arguments a translator may reorder ("%2$s").
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
