// Every message box of the application goes through here, so that tests can
// answer them without a modal loop (setNextAnswer / a recording handler).
#pragma once

#include "model/messages.h"

#include <QMessageBox>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace quillan {

class MessageBox {
  public:
    // Shows text with caption; returns the button pressed.
    static QMessageBox::StandardButton show(QWidget* parent, const QString& text,
                                            const QString& caption,
                                            MessageIcon icon = MessageIcon::None,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    // Test seam: while set, no box is shown; every call is recorded and
    // answered with the queued answers (then Ok).
    static void setTestMode(bool on);
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static const std::vector<Message>& shown();
    static void clearShown();

    // A MessageSink for the core that shows its messages with parent.
    static MessageSink sinkFor(QWidget* parent);
};

} // namespace quillan
