#include "files/Files.h"
#include "files/Translation.h"
#include "support/TestSupport.h"
#include "ui/RunTexts.h"

#include <gtest/gtest.h>

#include <cstdlib>

// What the game over says about the run that has just ended.

namespace {

const char* nothingSet(const char*)
{
    return nullptr;
}

TEST(RunTexts, ThisRunsPlaceIsAnOrdinalOfThePlayersLanguage)
{
    testkit::ScopedEnv env;
    env.set("LANGUAGE", std::getenv("LANGUAGE"));
    startTranslations(thisBuild().locale, nothingSet);
    EXPECT_EQ(thisRunText({2, 37.44}, 3), "THIS RUN: LEVEL 2, 37.4 S, 3RD");
    EXPECT_EQ(thisRunText({0, 5.0}, std::nullopt), "THIS RUN: LEVEL 0, 5.0 S") << "not among the best runs";
    EXPECT_EQ(placeText(1), "1ST");
    EXPECT_EQ(placeText(2), "2ND");
    EXPECT_EQ(placeText(10), "10TH");
    EXPECT_EQ(placeText(12), "PLACE 12");

    // A row of the best runs: the time at the tenths the table orders by, the name, how it ended.
    const std::vector<std::string> row = bestRunCells(3, BestRun({2, 37.46}, std::nullopt, "Ada", true));
    EXPECT_EQ(row, (std::vector<std::string>{" 3.", "2", " 37.5 S", "Ada", "-", "GIVEN UP"}));
    EXPECT_EQ(bestRunCells(10, BestRun({0, 9.95}, std::nullopt))[2], " 10.0 S");
    EXPECT_EQ(bestRunCells(1, BestRun({1, 20.0}, std::nullopt)).back(), "") << "a run that ended by itself";
    EXPECT_EQ(bestRunCells(1, BestRun({1, 20.0}, std::nullopt, "Maximilian Alexander von Humboldt"))[3],
              "Maximilian Alexande\u2026");

    // Every language says each place its own way, and never the English.
    for (const char* language : {"de", "fr", "es", "it", "pt_BR", "pl", "ru"}) {
        startTranslations(thisBuild().locale, [language](const char* name) -> const char* {
            return std::string_view(name) == "LANGUAGE" ? language : nullptr;
        });
        for (std::size_t place = 1; place <= 10; ++place) {
            const std::string text = placeText(place);
            EXPECT_NE(text.find(std::to_string(place)), std::string::npos) << language << ": " << text;
            EXPECT_EQ(text.find("TH"), std::string::npos) << language << ": " << text;
        }
    }
    useLanguage("de");
    EXPECT_EQ(thisRunText({2, 37.44}, 3), "DIESER LAUF: LEVEL 2, 37.4 S, PLATZ 3");
    startTranslations(thisBuild().locale, nothingSet);
}

} // namespace
