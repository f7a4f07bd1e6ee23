// One running copy per user. The first start takes a lock on a file beside
// the instance socket, held until the process ends, and then listens on the
// socket, before it builds anything else; a later start finds the lock
// taken, asks the holder over the socket to come forward and ends. The lock
// makes the claim atomic: two starts at the same moment cannot both run,
// and a socket left behind by a killed copy (whose lock the system has let
// go) is taken over only by the copy that holds the lock.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace lexvia::qt {

// The socket's path: $LEXVIA_INSTANCE when set (tests), else "lexvia" in the
// user's runtime folder, else a per-user name in the temporary folder. The
// lock file is the same path with ".lock" after it.
QString instance_socket_path();

class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QString path, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Makes this copy the one that runs: true once it holds the lock and
  // listens; false when another copy holds the lock. Without a lock file to
  // be had (a folder that cannot be written), a copy that answers on the
  // socket is the one that runs.
  bool claim();
  // Asks the copy that holds the lock to come forward, giving it a moment to
  // start listening; false when none answered.
  bool wake_running_copy();
  // Runs for each later start; starts that came before it was set run it
  // at once.
  void on_woken(std::function<void()> woken);

 private:
  void woken();

  QString path_;
  int lock_ = -1;
  QLocalServer* server_ = nullptr;
  std::function<void()> woken_;
  int early_wakes_ = 0;
};

}  // namespace lexvia::qt
