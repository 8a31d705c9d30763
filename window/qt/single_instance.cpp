#include "window/qt/single_instance.h"

#include <QApplication>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>
#include <chrono>

namespace tonvela {
namespace {

using namespace std::chrono_literals;

constexpr QByteArrayView kActivate = "activate\n";
constexpr QByteArrayView kAnswer = "ok\n";
constexpr int kWaitMs = 1000;

QString runtimePath(const QString& name) {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(name);
}

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), socketPath_(runtimePath(name)), lock_(runtimePath(name + ".lock")) {
  // Held for the instance's whole life, so never stale by its age; one whose owner died is taken
  // over all the same (QLockFile checks whether its pid still runs).
  lock_.setStaleLockTime(0ms);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

bool SingleInstance::handedOffToRunning() {
  // A start that finds the lock held while its owner is not listening yet waits for it a little.
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (true) {
    if (askRunningToActivate()) {
      return true;
    }
    if (lock_.tryLock(100ms)) {
      listen();
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      return false;  // nothing answers and the lock stays taken: better two reminders than none
    }
  }
}

bool SingleInstance::askRunningToActivate() const {
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(kWaitMs)) {
    return false;
  }
  socket.write(kActivate.data(), kActivate.size());
  if (!socket.waitForBytesWritten(kWaitMs)) {
    return false;
  }
  return socket.waitForReadyRead(kWaitMs) && socket.readLine() == kAnswer;
}

void SingleInstance::listen() {
  // Holding the lock, any socket at the path is a killed instance's.
  QLocalServer::removeServer(socketPath_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(socketPath_);  // when it cannot, this start runs alone, as without the check
}

void SingleInstance::answer() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) {
        return;
      }
      if (socket->readLine() == kActivate) {
        socket->write(kAnswer.data(), kAnswer.size());
        emit activationRequested();
      }
      socket->disconnectFromServer();
    });
  }
}

void bringToFront(QWidget& window) {
  window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window.show();
  window.raise();
  window.activateWindow();
  QApplication::alert(&window);
}

}  // namespace tonvela
