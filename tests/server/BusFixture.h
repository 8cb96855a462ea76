// A private D-Bus session bus for server tests, with its own data folders:
// nothing touches the user's bus or home.
#pragma once

#include <sys/types.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace orbantis::test {

// Runs a program with extra environment; returns its pid.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outFile);
// Waits up to ms for pid to end; its exit status, or -1 when it did not end.
int WaitExit(pid_t pid, int ms);

class PrivateBus {
 public:
  // dataHome gets dbus-1/services, which the bus searches for activatable
  // services; processes the bus starts inherit env.
  PrivateBus(const std::string& dataHome, const std::vector<std::string>& env);
  ~PrivateBus();
  const std::string& Address() const { return FAddress; }
  // A new client connection.
  QDBusConnection Connect(const QString& name);

 private:
  pid_t FPid = -1;
  std::string FAddress;
  std::string FConfig;
};

// The server process on a private bus with temporary data folders: what the
// server tests and the bus benchmarks both start from.
class ServerWorld {
 public:
  ServerWorld();
  // Stops the server and disconnects the clients.
  ~ServerWorld();
  // Starts the server and waits until it owns its bus name.
  bool StartServer();
  // A new client connection, disconnected with the world. Safe to call from
  // several client threads at once.
  QDBusConnection Client();
  // The server's resident memory, KiB.
  long ServerRssKiB() const;

  TempDir dir;
  std::vector<std::string> env;  // for the server and the programs the bus starts
  std::string serverExe = ORBANTIS_SERVER_EXE;  // what StartServer runs
  std::unique_ptr<PrivateBus> bus;
  pid_t server = -1;
  std::vector<QString> connections;  // guarded by connectionsLock
  std::mutex connectionsLock;
};

// Events received on a connection, for the sink tests.
class EventLog : public QObject {
  Q_OBJECT
 public:
  struct Event {
    QString name;
    QVariantList args;
  };
  std::vector<Event> events;
  // Processes pending bus traffic for a moment so queued signals arrive.
  void Drain(int ms = 200);
  int Count(const QString& name) const;

 public slots:
  void onError(int code, const QString& message) { events.push_back({"ON_ERROR", {code, message}}); }
  void onProgress(int value, const QString& message) { events.push_back({"OnProgress", {value, message}}); }
  void onStartProgress() { events.push_back({"OnStartProgress", {}}); }
  void onEndProgress() { events.push_back({"OnEndProgress", {}}); }
};

// Listens for the events of the object at path on connection.
void ListenForEvents(QDBusConnection& connection, const QString& path, EventLog& log);

// A blocking call with the server's generous time-out.
QDBusMessage Call(QDBusConnection& c, const QString& path, const QString& iface, const QString& method,
                  const QVariantList& args = {});

}  // namespace orbantis::test
