#include "window/qt/single_instance.h"

#include <QApplication>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>
#include <chrono>

namespace tonvela::qt {
namespace {

using namespace std::chrono_literals;

constexpr QByteArrayView kActivate = "activate\n";
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
  // No answer is awaited: the running window may be busy playing the voice, which holds its
  // event loop, and reads the request once the playback is over. A socket that accepts belongs
  // to a live instance; a killed one's refuses.
  socket.write(kActivate.data(), kActivate.size());
  return socket.waitForBytesWritten(kWaitMs);
}

void SingleInstance::listen() {
  // Holding the lock, any socket at the path is a killed instance's.
  QLocalServer::removeServer(socketPath_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(socketPath_);  // when it cannot, this start runs alone, as without the check
}

void SingleInstance::answer() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    // The caller may be gone already; what it wrote is still there to read.
    auto readRequest = [this, socket] {
      if (!socket->canReadLine()) {
        return;
      }
      if (socket->readLine() == kActivate) {
        emit activationRequested();
      }
      socket->disconnectFromServer();
      socket->deleteLater();
    };
    connect(socket, &QLocalSocket::readyRead, this, readRequest);
    connect(socket, &QLocalSocket::disconnected, this, [readRequest, socket] {
      readRequest();
      socket->deleteLater();
    });
    readRequest();
  }
}

void bringToFront(QWidget& window) {
  window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window.show();
  window.raise();
  window.activateWindow();
  QApplication::alert(&window);
}

}  // namespace tonvela::qt
