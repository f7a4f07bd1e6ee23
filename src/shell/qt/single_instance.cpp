#include "shell/qt/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <utility>

namespace lexvia::qt {

namespace {
constexpr int kAnswerMs = 1000;
constexpr char kWake[] = "activate\n";
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

bool SingleInstance::wake_running_copy() {
  QLocalSocket socket;
  socket.connectToServer(path_);
  if (!socket.waitForConnected(kAnswerMs)) return false;
  socket.write(kWake);
  socket.waitForBytesWritten(kAnswerMs);
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::listen(std::function<void()> woken) {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(path_)) {
    // Nobody answered there (wake_running_copy came first), so the socket is
    // what a killed copy left.
    QLocalServer::removeServer(path_);
    if (!server_->listen(path_)) return false;
  }
  connect(server_, &QLocalServer::newConnection, this, [this, woken = std::move(woken)] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::readyRead, socket, [socket, woken] {
        if (socket->readAll().contains("activate")) woken();
        socket->disconnectFromServer();
      });
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
  return true;
}

}  // namespace lexvia::qt
