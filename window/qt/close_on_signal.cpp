#include "window/qt/close_on_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace tonvela::qt {
namespace {

constexpr std::array kCloseSignals{SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe, for the signal handler, which can reach nothing else.
volatile std::sig_atomic_t signalWriteFd = -1;

extern "C" void writeSignalByte(int) {
  const int savedErrno = errno;
  const char byte = 1;
  // A full pipe already holds a pending close; nothing is lost by dropping this byte.
  [[maybe_unused]] ssize_t written = ::write(signalWriteFd, &byte, 1);
  errno = savedErrno;
}

void setHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

CloseOnSignal::CloseOnSignal(QWidget& window) : window_(window) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;  // signals keep their default action: the program still ends, only less tidily
  }
  readFd_ = fds[0];
  signalWriteFd = fds[1];
  notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &CloseOnSignal::onSignal);
  for (int signal : kCloseSignals) {
    setHandler(signal, &writeSignalByte);
  }
}

CloseOnSignal::~CloseOnSignal() {
  if (readFd_ < 0) {
    return;
  }
  for (int signal : kCloseSignals) {
    setHandler(signal, SIG_DFL);
  }
  notifier_.reset();
  ::close(signalWriteFd);
  signalWriteFd = -1;
  ::close(readFd_);
}

void CloseOnSignal::onSignal() {
  std::array<char, 64> drained{};
  while (::read(readFd_, drained.data(), drained.size()) > 0) {
  }
  window_.close();
}

}  // namespace tonvela::qt
