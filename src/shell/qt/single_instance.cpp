#include "shell/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace lexvia::qt {

namespace {
constexpr int kAnswerMs = 1000;
// The holder of the lock listens a moment after it took it.
constexpr int kListenWaitMs = 3000;
constexpr char kWake[] = "activate\n";

bool answers(const QString& path) {
  QLocalSocket socket;
  socket.connectToServer(path);
  return socket.waitForConnected(kAnswerMs);
}
}  // namespace

QString instance_socket_path() {
  const QString given = qEnvironmentVariable("LEXVIA_INSTANCE");
  if (!given.isEmpty()) return given;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime + "/lexvia";
  return QDir::tempPath() + QStringLiteral("/lexvia-%1").arg(::getuid());
}

SingleInstance::SingleInstance(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)) {}

SingleInstance::~SingleInstance() {
  if (lock_ >= 0) ::close(lock_);
}

bool SingleInstance::claim() {
  const QByteArray lock_path = QFile::encodeName(path_ + QStringLiteral(".lock"));
  lock_ =
      ::open(lock_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  int problem = lock_ < 0 ? errno : 0;
  struct stat info {};
  if (lock_ >= 0 && (::fstat(lock_, &info) != 0 || !S_ISREG(info.st_mode))) {
    problem = EINVAL;  // not a regular file
  } else if (lock_ >= 0 && ::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    problem = errno;
  }
  if (problem != 0 && lock_ >= 0) {
    ::close(lock_);
    lock_ = -1;
  }
  if (problem == EWOULDBLOCK) return false;
  if (problem != 0) {
    std::fprintf(stderr, "lexvia: cannot lock %s (%s): only the socket keeps a second copy out\n",
                 lock_path.constData(), std::strerror(problem));
    if (answers(path_)) return false;
  }
  // Nobody else can be listening there now: a socket left is a killed copy's.
  QLocalServer::removeServer(path_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(path_)) {
    std::fprintf(stderr,
                 "lexvia: cannot listen on %s (%s): a second start will not reach this copy\n",
                 qPrintable(path_), qPrintable(server_->errorString()));
    return true;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (socket->readAll().contains("activate")) woken();
        socket->disconnectFromServer();
      });
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
  return true;
}

bool SingleInstance::wake_running_copy() {
  QElapsedTimer waited;
  waited.start();
  do {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (socket.waitForConnected(kAnswerMs)) {
      socket.write(kWake);
      socket.waitForBytesWritten(kAnswerMs);
      socket.disconnectFromServer();
      return true;
    }
    QThread::msleep(50);
  } while (waited.elapsed() < kListenWaitMs);
  return false;
}

void SingleInstance::on_woken(std::function<void()> woken) {
  woken_ = std::move(woken);
  for (; early_wakes_ > 0 && woken_; --early_wakes_) woken_();
}

void SingleInstance::woken() {
  if (woken_) {
    woken_();
  } else {
    ++early_wakes_;
  }
}

}  // namespace lexvia::qt
