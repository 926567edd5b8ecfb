#include "files/Files.h"
#include "files/Translation.h"
#include "input/Controls.h"
#include "support/TestSupport.h"
#include "text/Utf8.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

// The player's language: which catalogues the variables ask for, what gettext then says, and
// the UTF-8 the screens draw.

namespace {

namespace fs = std::filesystem;

// An environment of just these variables.
Environment only(std::map<std::string, std::string> variables)
{
    return [variables](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
}

TEST(Utf8, BrokenSequencesBecomeOneReplacementEachAndTheRestReadsOn)
{
    EXPECT_EQ(decodeUtf8("PAUSE \xC3\x9C \xD0\x96 \xE2\x82\xAC"), U"PAUSE Ü Ж €");
    // A stray continuation byte, a sequence cut short by an ASCII letter, an overlong "/",
    // an encoded surrogate and a lone lead byte at the very end.
    EXPECT_EQ(decodeUtf8("a\x80" "b"), U"a\uFFFDb");
    EXPECT_EQ(decodeUtf8("\xC3" "A"), U"\uFFFDA");
    EXPECT_EQ(decodeUtf8("\xC0\xAF"), U"\uFFFD");
    EXPECT_EQ(decodeUtf8("\xED\xA0\x80"), U"\uFFFD");
    EXPECT_EQ(decodeUtf8("ok\xE2\x82"), U"ok\uFFFD");
    EXPECT_EQ(encodeUtf8(decodeUtf8("ÉCHAP ПАУЗА 𝄞")), "ÉCHAP ПАУЗА 𝄞");
}

TEST(Utf8, CapitalsForTheLettersOfEveryLanguageShipped)
{
    EXPECT_EQ(upperCase("fly faster"), "FLY FASTER");
    EXPECT_EQ(upperCase("schneller fliegen, größer"), "SCHNELLER FLIEGEN, GRÖßER");
    EXPECT_EQ(upperCase("caméra plus près, à gauche, ÿ"), "CAMÉRA PLUS PRÈS, À GAUCHE, Ÿ");
    EXPECT_EQ(upperCase("ąćęłńóśźż"), "ĄĆĘŁŃÓŚŹŻ");
    EXPECT_EQ(upperCase("лететь быстрее, ёж"), "ЛЕТЕТЬ БЫСТРЕЕ, ЁЖ");
    EXPECT_EQ(upperCase("ç ñ ã õ ü"), "Ç Ñ Ã Õ Ü");
    EXPECT_EQ(upperCase("÷ 100 %"), "÷ 100 %") << "not letters: unchanged";
}

TEST(Translation, TheVariablesChooseTheLanguageAsGettextProgramsDo)
{
    EXPECT_EQ(wantedLanguages(only({})), "") << "nothing set: English";
    EXPECT_EQ(wantedLanguages(only({{"LANG", "de_DE.UTF-8"}})), "de_DE");
    EXPECT_EQ(wantedLanguages(only({{"LANG", "sr_RS.UTF-8@latin"}})), "sr_RS@latin");
    EXPECT_EQ(wantedLanguages(only({{"LANGUAGE", "fr:de"}, {"LANG", "pl_PL.UTF-8"}})), "fr:de:pl_PL");
    EXPECT_EQ(wantedLanguages(only({{"LANGUAGE", "ru"}})), "ru") << "LANGUAGE alone is enough";
    EXPECT_EQ(wantedLanguages(only({{"LC_MESSAGES", "it_IT.UTF-8"}, {"LANG", "de_DE.UTF-8"}})), "it_IT");
    EXPECT_EQ(wantedLanguages(only({{"LC_ALL", "es_ES.UTF-8"}, {"LC_MESSAGES", "it_IT"}, {"LANG", "de_DE"}})), "es_ES");
    // The C locale asks for the texts as they are written, whatever LANGUAGE says.
    EXPECT_EQ(wantedLanguages(only({{"LANGUAGE", "de"}, {"LANG", "C"}})), "");
    EXPECT_EQ(wantedLanguages(only({{"LANGUAGE", "de"}, {"LC_ALL", "C"}, {"LANG", "de_DE"}})), "");
    EXPECT_EQ(wantedLanguages(only({{"LANGUAGE", "de"}, {"LC_MESSAGES", "POSIX"}})), "");
    // C.UTF-8, what many systems start with, has no language: LANGUAGE chooses, else English.
    EXPECT_EQ(wantedLanguages(only({{"LANGUAGE", "fr"}, {"LANG", "C.UTF-8"}})), "fr");
    EXPECT_EQ(wantedLanguages(only({{"LC_ALL", "C.UTF-8"}})), "");
}

// A catalogue of the test's own, compiled by msgfmt into a scratch locale folder.
class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.set("LANGUAGE", std::getenv("LANGUAGE"));
        folder = fs::temp_directory_path() / ("quillfen-catalogue-" + std::to_string(::getpid()));
        fs::create_directories(folder / "xx" / "LC_MESSAGES");
        const fs::path po = folder / "xx.po";
        std::ofstream(po) << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                             "msgid \"PAUSED\"\nmsgstr \"PAUZA Ü\"\n\n"
                             "msgctxt \"key\"\nmsgid \"LEFT\"\nmsgstr \"LEWO\"\n\n"
                             "msgid \"%s WAS ON %s: SWAPPED\"\nmsgstr \"%2$s MIAŁO %1$s\"\n\n"
                             // Formats without the c-format flag, which plain msgfmt lets through.
                             "msgid \"Health: %.0f%%\"\nmsgstr \"Gesundheit: %s\"\n\n"
                             "msgid \"FPS: %i\"\nmsgstr \"FPS: %i %i\"\n\n"
                             "msgctxt \"key\"\nmsgid \"KEYPAD %d\"\nmsgstr \"KLAWIATURA %n\"\n\n"
                             "msgid \"BEST: LEVEL %i, %.1f S\"\nmsgstr \"NAJLEPSZY: %2$.1f S, POZIOM %1$d\"\n\n"
                             "msgid \"LEVEL %i\"\nmsgstr \"POZIOM %i\"\n";
        const std::string command = "msgfmt --check-format -o '" + (folder / "xx" / "LC_MESSAGES" / "quillfen.mo").string() +
                                    "' '" + po.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    void TearDown() override
    {
        startTranslations(folder, only({}));
        fs::remove_all(folder);
    }

    testkit::ScopedEnv env;
    fs::path folder;
};

TEST_F(Catalogue, ATextTheCatalogueLacksStaysEnglishAndOnlyTranslationsCountAsMoved)
{
    // No such locale is installed anywhere: the game needs only its own catalogue.
    startTranslations(folder, only({{"LANG", "xx_YY.UTF-8"}}));
    EXPECT_STREQ(_("PAUSED"), "PAUZA Ü");
    const char* missing = "RESUME";
    EXPECT_EQ(_(missing), missing) << "an entry the catalogue lacks falls back to the English";
    EXPECT_TRUE(shownText("PAUSED").translated);
    EXPECT_FALSE(shownText(missing).translated);
    EXPECT_STREQ(C_("key", "LEFT"), "LEWO");
    EXPECT_STREQ(_("LEFT"), "LEFT") << "the key's context is not the action's";
    EXPECT_EQ(formatText(_("%s WAS ON %s: SWAPPED"), "W", "STOP"), "STOP MIAŁO W") << "arguments reordered";
    EXPECT_STREQ(translate(""), "") << "an empty table entry is not the catalogue's header";
    EXPECT_STREQ(languageInUse(), "ENGLISH") << "a catalogue without its language's name";

    // The C locale speaks English again, whatever LANGUAGE says.
    startTranslations(folder, only({{"LANGUAGE", "xx"}, {"LC_ALL", "C"}}));
    EXPECT_STREQ(_("PAUSED"), "PAUSED");
}

TEST_F(Catalogue, ATranslationThatTakesOtherValuesThanTheEnglishIsNotUsed)
{
    startTranslations(folder, only({{"LANG", "xx_YY.UTF-8"}}));
    ::testing::internal::CaptureStdout();
    // A "%s" for a "%.0f" made printf read a double as a string: the HUD crashed.
    for (int lookup = 0; lookup < 2; ++lookup) {
        EXPECT_EQ(formatText(_("Health: %.0f%%"), 80.0), "Health: 80%");
        EXPECT_FALSE(shownText("Health: %.0f%%").translated);
        EXPECT_STREQ(_("FPS: %i"), "FPS: %i") << "a value more";
        EXPECT_STREQ(C_("key", "KEYPAD %d"), "KEYPAD %d") << "%n writes, it never reads";
    }
    // The same values in another order, or spelt otherwise, are the same.
    EXPECT_EQ(formatText(_("BEST: LEVEL %i, %.1f S"), 2, 37.42), "NAJLEPSZY: 37.4 S, POZIOM 2");
    EXPECT_STREQ(_("LEVEL %i"), "POZIOM %i");
    EXPECT_EQ(formatText(_("%s WAS ON %s: SWAPPED"), "W", "STOP"), "STOP MIAŁO W");
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << "once for each text refused:\n" << said;
    EXPECT_NE(said.find("\"Gesundheit: %s\" takes other values than \"Health: %.0f%%\""), std::string::npos) << said;
}

TEST_F(Catalogue, TheBuildsOwnCataloguesSpeakEverySuppliedLanguage)
{
    for (const char* language : {"de", "fr", "es", "it", "pt_BR", "pl", "ru"}) {
        startTranslations(thisBuild().locale, only({{"LANGUAGE", language}}));
        const std::string paused = _("PAUSED");
        EXPECT_NE(paused, "PAUSED") << language;
        EXPECT_EQ(upperCase(paused), paused) << language << ": menu titles are in capitals";
        EXPECT_STRNE(languageInUse(), "ENGLISH") << language;
    }
}

TEST(KeyLabels, LettersFollowTheKeyboardAndPunctuationKeepsItsName)
{
    // A German keyboard: Y and Z change places, "[" is Ü, "/" types a hyphen, "," a comma as on
    // a US keyboard.
    useKeyboardLayout([](int key) -> const char* {
        switch (key) {
        case GLFW_KEY_Y:
            return "z";
        case GLFW_KEY_Z:
            return "y";
        case GLFW_KEY_LEFT_BRACKET:
            return "ü";
        case GLFW_KEY_SLASH:
            return "-";
        case GLFW_KEY_COMMA:
            return ",";
        default:
            return nullptr;
        }
    });
    EXPECT_EQ(keyLabel(GLFW_KEY_Y), "Z");
    EXPECT_EQ(keyLabel(GLFW_KEY_LEFT_BRACKET), "Ü");
    EXPECT_EQ(keyLabel(GLFW_KEY_SLASH), "-");
    EXPECT_EQ(keyLabel(GLFW_KEY_COMMA), "COMMA") << "the US sign keeps the US name";
    EXPECT_EQ(keyLabel(GLFW_KEY_LEFT_SHIFT), "LEFT SHIFT");
    EXPECT_EQ(keyLabel(GLFW_KEY_KP_7), "KEYPAD 7");
    EXPECT_EQ(keyName(GLFW_KEY_Y), "Y") << "config.txt keeps the US name";
    Controls controls;
    controls.bind(Action::Forward, GLFW_KEY_Z);
    EXPECT_EQ(controlsHelpLines(controls).front(), "Y / RIGHT TRIGGER OR A: FLY FASTER");
    useKeyboardLayout(nullptr);
    EXPECT_EQ(keyLabel(GLFW_KEY_Y), "Y") << "without a layout, the US names";
}

} // namespace
