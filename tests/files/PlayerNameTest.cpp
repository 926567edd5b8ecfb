#include "files/PlayerName.h"

#include <gtest/gtest.h>

// The name beside the player's runs, when they have not typed one: the account's.

namespace {

TEST(PlayerName, TheAccountsFullNameElseItsLoginName)
{
    EXPECT_EQ(accountName("Ada Lovelace,Room 12,555-1234,,", "ada"), "Ada Lovelace") << "up to the first comma";
    EXPECT_EQ(accountName("& Smith", "jane"), "Jane Smith") << "& is the login name, capitalised";
    EXPECT_EQ(accountName(",,,", "ada"), "ada") << "an empty full name";
    EXPECT_EQ(accountName(nullptr, "ada"), "ada");
    EXPECT_EQ(accountName("  ", nullptr), "");
    EXPECT_EQ(accountName("Maximilian Alexander von Humboldt-Lovelace", "max"), "Maximilian Alexander")
        << "cut to the length a name keeps, without a blank at its end";
}

TEST(PlayerName, ANameKeepsNoControlCharacterNorACommentMark)
{
    EXPECT_EQ(cleanPlayerName("  Zoë\t Ø\x7f  "), "Zoë Ø");
    EXPECT_EQ(cleanPlayerName("a//b///c"), "a/b/c") << "config.txt would read // as a comment";
    EXPECT_EQ(nameAsTyped("Ada "), "Ada ") << "a blank being typed stays until the name is kept";
    EXPECT_EQ(nameAsTyped("ЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁ"), "ЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁ") << "characters, not bytes";
}

} // namespace
