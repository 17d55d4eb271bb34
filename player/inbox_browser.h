// A folder of voice messages opened as a list: which of its messages is loaded, going through
// them in the order they were left, what plays when one ends, which are heard, Delete and its
// undo, and the new messages' count at the head of the window's title. It decides; the window
// only shows the list (the Inbox model) and forwards input here. It installs the session's
// folder hooks, so a folder given to the session in any way (start-up, hand-over, Open, a
// drop, the bus) opens here, and Play with no message loaded chooses one.
//
// A message is loaded when the session's recording is one of the list's files. Opening a file
// from outside the folder closes the list: a single file plays as it always did.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class Inbox;
class PlayerSession;

class InboxBrowser : public QObject {
    Q_OBJECT
  public:
    // databasePath: where heard and new are kept (see Inbox; empty for its default).
    explicit InboxBrowser(PlayerSession& session, QString databasePath = {},
                          QObject* parent = nullptr);
    ~InboxBrowser() override;

    // The list's model.
    Inbox& Messages() { return *inbox_; }
    bool IsOpen() const;
    // Lists folder and shows it; an error is reported and the list stays as it was.
    void OpenFolder(const QString& folder);
    // The loaded message's row; -1 when none is.
    int CurrentRow() const;
    // Opens and plays the message of row under its caller's name.
    void PlayRow(int row);

    // Next opens the message left after the loaded one, Previous the one left before; with
    // none loaded, Next starts where Play would. Each does nothing at its end of the list.
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    void Next();
    void Previous();

    // When a message ends, the next new one left after it plays (remembered).
    bool PlayNextAutomatically() const { return playNext_; }
    void SetPlayNextAutomatically(bool on);

    // The message of row counts as new again.
    void MarkNew(int row);
    // Moves the message of row (and its sidecar text) to the Trash; a loaded one stops first.
    void MoveToTrash(int row);
    bool CanUndoTrash() const;
    // Puts the last message moved to the Trash back.
    void UndoTrash();

  signals:
    // The list opened or closed, the loaded message changed, or what Next and Previous can do.
    void Changed();
    // A message landed in the open folder; who left it.
    void MessageArrived(const QString& who);

  private:
    void Close();
    // The row Play starts with when no message is loaded: the oldest new one, else the oldest.
    int StartRow() const;
    bool PlayChosen();
    bool Ended();
    // Marks the loaded message heard once it played past half of its length.
    void CheckHeard();
    void MarkHeard(int row);
    void ShowCount();
    // The name of row's file, as the trace names it.
    QString FileName(int row) const;

    PlayerSession& session_;
    std::unique_ptr<Inbox> inbox_;
    bool playNext_ = false;
    uint32_t heardOpen_ = 0;  // the session's open whose message was marked heard
    QString shownCounts_;     // the last "list" event traced
    QString lastTrashed_;     // the file name of the last message moved to the Trash
};
