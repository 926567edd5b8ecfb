#include "ui/RunTexts.h"

#include "files/PlayerName.h"
#include "files/Translation.h"
#include "text/Utf8.h"

#include <array>
#include <cstdio>

namespace {

// Seconds at the tenths the best runs are ordered by, so two runs that read the same are equal.
double shownSeconds(double seconds)
{
    return static_cast<double>(tenthsOf(seconds)) / 10.0;
}

} // namespace

std::string placeText(std::size_t place)
{
    // Each language makes its ordinals its own way ("1ST", "PLATZ 1", "1RE PLACE"): one text a place.
    static constexpr std::array<const char*, 10> places = {
        NC_("place", "1ST"), NC_("place", "2ND"), NC_("place", "3RD"), NC_("place", "4TH"),
        NC_("place", "5TH"), NC_("place", "6TH"), NC_("place", "7TH"), NC_("place", "8TH"),
        NC_("place", "9TH"), NC_("place", "10TH"),
    };
    if (place >= 1 && place <= places.size())
        return C_("place", places[place - 1]);
    // TRANSLATORS: a place in the best runs past the tenth (the table keeps ten).
    return formatText(_("PLACE %zu"), place);
}

std::string thisRunText(const RunResult& run, std::optional<std::size_t> place)
{
    const double seconds = shownSeconds(run.seconds);
    if (!place)
        // TRANSLATORS: the run that has just ended, when it is not among the best runs kept.
        return formatText(_("THIS RUN: LEVEL %i, %.1f S"), run.level, seconds);
    // TRANSLATORS: the run that has just ended and its place in the best runs ("3RD").
    return formatText(_("THIS RUN: LEVEL %i, %.1f S, %s"), run.level, seconds, placeText(*place).c_str());
}

std::vector<std::string> bestRunCells(std::size_t place, const BestRun& run)
{
    char number[64];
    std::snprintf(number, sizeof number, "%2zu.", place);
    std::vector<std::string> cells = {number, std::to_string(run.result.level)};
    // TRANSLATORS: seconds flown in a run, in the best runs' TIME column.
    cells.push_back(formatText(_("%5.1f S"), shownSeconds(run.result.seconds)));
    // A run kept by an earlier version has no name and no date.
    std::u32string name = decodeUtf8(run.name);
    if (name.size() > maxPlayerNameLength)
        name = name.substr(0, maxPlayerNameLength - 1) + U"\u2026";
    cells.push_back(name.empty() ? std::string("-") : encodeUtf8(name));
    const std::string when = localDateTime(run.when);
    cells.push_back(when.empty() ? std::string("-") : when);
    // TRANSLATORS: marks a run of the best runs that was ended with RESTART from the pause menu.
    cells.push_back(run.givenUp ? _("GIVEN UP") : "");
    return cells;
}
