#pragma once

#include "files/BestResults.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What the screens say about runs, in the player's language.

// A place in the best runs, 1 the first: "3RD" (in German "PLATZ 3").
std::string placeText(std::size_t place);

// The run that has just ended, and where it stands in the best runs when it made them:
// "THIS RUN: LEVEL 2, 37.4 S, 3RD".
std::string thisRunText(const RunResult& run, std::optional<std::size_t> place);

// A row of the best runs, one text a column: place ("3."), level, seconds as the table orders
// them ("37.4 S"), the player's name, when the run ended, and "GIVEN UP" for a run ended with
// RESTART from the pause menu (empty otherwise).
std::vector<std::string> bestRunCells(std::size_t place, const BestRun& run);
