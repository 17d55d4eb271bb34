// The list of a folder's messages on the skin's cream panel: one row per message with who left
// it, when, and how long it is; a new one in bold after a gold mark. Keyboard first: the
// arrows, Home, End and the page keys move while it has the focus (elsewhere they are the
// transport's and the volume's), and Enter or a double click chooses the message.
#pragma once

#include <QListView>

class InboxView : public QListView {
    Q_OBJECT
  public:
    explicit InboxView(QWidget* parent = nullptr);

    // The skin's scale: fonts and padding grow with it.
    void SetSkinScale(int scale);

  signals:
    void Chosen(int row);

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
