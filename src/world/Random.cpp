#include "world/Random.h"

std::uint32_t WorldRandom::state = 1;

int WorldRandom::next()
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7fffu);
}

float WorldRandom::unit()
{
    return static_cast<float>(next() / 32767.0);
}

void WorldRandom::restart()
{
    state = 1;
}
