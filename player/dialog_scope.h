// Marks one of the window's own dialogs (About, Open, Save As, a message box) as open for as
// long as the scope lives, so that Close On Finish waits for it.
#pragma once

#include "player/player_session.h"

class DialogScope {
  public:
    explicit DialogScope(PlayerSession& session) : session_(session) { session_.DialogOpened(); }
    ~DialogScope() { session_.DialogClosed(); }
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

  private:
    PlayerSession& session_;
};
