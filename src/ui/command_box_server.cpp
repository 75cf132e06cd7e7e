#include "command_box_server.h"

#include <QLineEdit>
#include <QMetaObject>

void CommandBoxServer::Receive(const QString& text) {
  // Queued: an action may run a whole batch, and the transport must be free meanwhile.
  QMetaObject::invokeMethod(
      this, [this, text] { Apply(text); }, Qt::QueuedConnection);
}

void CommandBoxServer::Apply(const QString& text) {
  if (onText) {
    onText(text);
  } else if (menuMsg_) {
    menuMsg_->setText(text);
  }
  emit textApplied(text);
}
