#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

#include "platform/program_identity.h"

class QWidget;

namespace tonvela::qt {

// One reminder per user and session. The first start owns a lock and a local socket, both in the
// user's runtime dir (removed with the session); a later start finds the socket, asks the first
// to come to the front, and is told to leave. A lock or socket left by a killed instance is taken
// over, and two starts at the same moment still end with one instance.
class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  // name: the socket's and lock's name in the runtime dir; tests give their own.
  explicit SingleInstance(QString name = QString::fromUtf8(kProgramId.data(), kProgramId.size()),
                          QObject* parent = nullptr);

  // True when another instance runs and has been asked to come forward (it does so as soon as
  // its event loop is free): this one should exit. Otherwise this instance now listens, and
  // later starts find it.
  bool handedOffToRunning();

 signals:
  // A later start asked this instance to come forward.
  void activationRequested();

 private:
  bool askRunningToActivate() const;
  void listen();
  void answer();

  QString socketPath_;
  QLockFile lock_;
  QLocalServer server_;
};

// Shows the window in front and active, and where the platform gives the focus only to the user
// (Wayland) asks for the user's attention instead.
void bringToFront(QWidget& window);

}  // namespace tonvela::qt
