// TEMPORARY stand-in until the engine lands; deleted at the merge.
#pragma once
#include <cstdint>
uint32_t WaveOutGetVolume();
void WaveOutSetVolume(uint32_t volume);
