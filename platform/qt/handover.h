// The hand-over of a text to play to the running player of this user. The sender stores the
// text as the setting "AutoPlay" and sends "CorvanePlay" over the hand-over socket; the player
// takes the text (reading it and removing it), answers at once and opens it afterwards (see
// platform/qt/handover_receiver.h).
// Every sender (tessick, a second start of the player) goes through HandOverToRunningPlayer.
#pragma once

#include <QString>
#include <optional>

// Stores text as "AutoPlay" and writes it out at once. Returns false when it could not be
// written.
bool StoreAutoPlay(const QString& text);

// The player's side: re-reads the settings, takes "AutoPlay" and removes it (written out at
// once, so each text plays once). The text is taken whatever its length, up to its first
// zero character. Nothing when there is no "AutoPlay" or it is not text (or the bytes of a
// file name, as StoreAutoPlay keeps a name that is not valid UTF-8); an unreadable value is
// left alone.
std::optional<QString> TakeAutoPlay();

// The sender's side after its request: removes "AutoPlay" only when it still holds exactly
// text, that is, when the player did not take it. A different value was written by another
// sender meanwhile and stays for that sender's request. Returns whether it removed the value.
bool TakeBackAutoPlay(const QString& text);

// Hands text to the running player and waits, without a time limit, until the player has taken
// it or the connection dropped. Returns false when the caller has to play text itself (or
// in a new player): no player of this user listens, or the one found ended before taking the
// text. Then no "AutoPlay" of ours is left behind. Returns true otherwise, also when the text
// could not be stored (there is nothing a new player could do better then).
bool HandOverToRunningPlayer(const QString& text);

// Asks the running player to come to the front and waits for its answer; false when no player
// of this user answered.
bool ActivateRunningPlayer();
