#include "files/PlayerName.h"

#include "files/BestResults.h"
#include "files/Config.h"
#include "text/Utf8.h"

#include <pwd.h>
#include <unistd.h>

std::string nameAsTyped(std::string_view name)
{
    std::u32string kept;
    for (const char32_t c : decodeUtf8(name)) {
        if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0))
            continue;
        if (c == U'/' && !kept.empty() && kept.back() == U'/')
            continue;
        if (kept.size() < maxPlayerNameLength)
            kept += c;
    }
    return encodeUtf8(kept);
}

std::string cleanPlayerName(std::string_view name)
{
    return cleanName(nameAsTyped(name));
}

std::string accountName(const char* gecos, const char* login)
{
    const std::string user = login ? login : "";
    std::string full;
    for (const char* c = gecos; c && *c && *c != ','; ++c) {
        if (*c == '&' && !user.empty())
            full += upperCase(user.substr(0, 1)) + user.substr(1);
        else
            full += *c;
    }
    const std::string name = cleanPlayerName(full);
    return name.empty() ? cleanPlayerName(user) : name;
}

std::string currentPlayerName()
{
    // A name written by hand in config.txt is kept to the same rules as one typed in the game.
    if (std::string name = cleanPlayerName(player_name); !name.empty())
        return name;
    const passwd* account = getpwuid(getuid());
    return account ? accountName(account->pw_gecos, account->pw_name) : std::string();
}
