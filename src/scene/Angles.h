#pragma once

// The camera, the player, the physics objects and the rain take their angles in degrees.
constexpr float degreesToRadians = 0.017453292f;
