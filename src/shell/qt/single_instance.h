// One running copy per user: the first start listens on a local socket named
// after the program; a second start finds it there, asks it to come forward
// and ends. A socket left behind by a killed copy answers nobody and is
// taken over.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace lexvia::qt {

// The socket's path: $LEXVIA_INSTANCE when set (tests), else "lexvia" in the
// user's runtime folder, else a per-user name in the temporary folder.
QString instance_socket_path();

class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QString path, QObject* parent = nullptr);
  // True when another copy answered and was asked to come forward.
  bool wake_running_copy();
  // Listens for later starts; `woken` runs for each. False when the socket
  // cannot be had.
  bool listen(std::function<void()> woken);

 private:
  QString path_;
  QLocalServer* server_ = nullptr;
};

}  // namespace lexvia::qt
