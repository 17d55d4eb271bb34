// --play of corvane-convert: plays a PCM WAVE file through the sound device, showing position
// and duration once a second on one line. Its own small library, so that the converter's
// other parts link without the playback engine.
#pragma once

#include <string>

// Plays to the end or to Ctrl+C; returns 0, or 130 when interrupted. Throws the engine's
// CException*.
int PlayInTerminal(const std::string& pcmPath);
