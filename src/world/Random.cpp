#include "world/Random.h"

int WorldRandom::next()
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7fffu);
}

float WorldRandom::unit()
{
    return static_cast<float>(next() / 32767.0);
}
