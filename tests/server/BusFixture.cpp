#include "BusFixture.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <sys/stat.h>
#include <atomic>
#include <QElapsedTimer>
#include <QThread>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace orbantis::test {

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outFile) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool overridden = false;
    for (const auto& mine : env)
      if (entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1)) overridden = true;
    if (!overridden) environment.push_back(entry);
  }
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!outFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  return pid;
}

int WaitExit(pid_t pid, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    QThread::msleep(20);
  }
  return -1;
}

PrivateBus::PrivateBus(const std::string& dataHome, const std::vector<std::string>& env) {
  FConfig = dataHome + "bus.conf";
  std::ofstream conf(FConfig);
  conf << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
          " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
          "<busconfig>\n  <type>session</type>\n  <listen>unix:tmpdir=/tmp</listen>\n"
          "  <servicedir>" << dataHome << "dbus-1/services</servicedir>\n"
          "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
          "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
  conf.close();
  const std::string addressFile = dataHome + "bus.address";
  FPid = Spawn({"/usr/bin/dbus-daemon", "--config-file=" + FConfig, "--nofork", "--print-address=1", "--nosyslog"}, env,
               addressFile);
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 10000) {
    std::ifstream in(addressFile);
    std::string line;
    if (std::getline(in, line) && line.rfind("unix:", 0) == 0) {
      FAddress = line;
      return;
    }
    QThread::msleep(20);
  }
  throw std::runtime_error("the private bus did not start");
}

PrivateBus::~PrivateBus() {
  if (FPid > 0) {
    ::kill(FPid, SIGTERM);
    WaitExit(FPid, 5000);
  }
}

QDBusConnection PrivateBus::Connect(const QString& name) {
  return QDBusConnection::connectToBus(QString::fromStdString(FAddress), name);
}

ServerWorld::ServerWorld() {
  for (const char* folder : {"data", "data/dbus-1", "data/dbus-1/services"})
    ::mkdir((dir.Path() + folder).c_str(), 0700);
  env = {"XDG_DATA_HOME=" + dir.Path() + "data", "XDG_CONFIG_HOME=" + dir.Path() + "config", "HOME=" + dir.Path(),
         "QT_QPA_PLATFORM=offscreen", "DISPLAY=", "WAYLAND_DISPLAY="};
  bus = std::make_unique<PrivateBus>(dir.Path() + "data/", env);
  env.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus->Address());
}

ServerWorld::~ServerWorld() {
  for (const auto& name : connections) QDBusConnection::disconnectFromBus(name);
  if (server > 0) {
    ::kill(server, SIGTERM);
    WaitExit(server, 10000);
  }
  bus.reset();
}

bool ServerWorld::StartServer() {
  server = Spawn({serverExe}, env, dir.Path() + "server.log");
  QDBusConnection c = Client();
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 10000 && !c.interface()->isServiceRegistered(QStringLiteral("ORBANTIS.KELMORA")))
    QThread::msleep(20);
  return c.interface()->isServiceRegistered(QStringLiteral("ORBANTIS.KELMORA"));
}

QDBusConnection ServerWorld::Client() {
  static std::atomic<int> n {0};
  const QString name = QStringLiteral("client%1").arg(++n);
  {
    std::lock_guard<std::mutex> guard(connectionsLock);
    connections.push_back(name);
  }
  return bus->Connect(name);
}

long ServerWorld::ServerRssKiB() const {
  std::ifstream in("/proc/" + std::to_string(server) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

void EventLog::Drain(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

int EventLog::Count(const QString& name) const {
  int n = 0;
  for (const auto& e : events)
    if (e.name == name) ++n;
  return n;
}

void ListenForEvents(QDBusConnection& c, const QString& path, EventLog& log) {
  const QString service;  // any sender: the server's unique name
  const QString iface = QStringLiteral("ORBANTIS.IKELMORAEvents");
  c.connect(service, path, iface, QStringLiteral("ON_ERROR"), &log, SLOT(onError(int, QString)));
  c.connect(service, path, iface, QStringLiteral("OnProgress"), &log, SLOT(onProgress(int, QString)));
  c.connect(service, path, iface, QStringLiteral("OnStartProgress"), &log, SLOT(onStartProgress()));
  c.connect(service, path, iface, QStringLiteral("OnEndProgress"), &log, SLOT(onEndProgress()));
}

QDBusMessage Call(QDBusConnection& c, const QString& path, const QString& iface, const QString& method,
                  const QVariantList& args) {
  QDBusMessage m = QDBusMessage::createMethodCall(QStringLiteral("ORBANTIS.KELMORA"), path, iface, method);
  m.setArguments(args);
  return c.call(m, QDBus::Block, 120000);
}

}  // namespace orbantis::test
