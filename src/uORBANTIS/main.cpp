// orbantis: the ORBANTIS automation server.
//
// Started by the bus (-Embedding) it serves until its last object is
// released, or 30 s when no object was ever created. Started by hand it runs
// until "Exit" in the tray menu, SIGTERM or SIGINT. A registration
// switch writes or removes the bus files and ends at once.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include "uLogo/LogoForms.h"
#include "uMainForm/Tfm_ServerWnd.h"
#include "uORBANTIS/KelmoraBus.h"
#include "uORBANTIS/TKELMORA.h"
#include "uORBANTIS/Registration.h"

#ifndef ORBANTIS_VERSION
#define ORBANTIS_VERSION "0.0.0"
#endif

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

const char* kHelp =
    "Usage: orbantis [switch]\n"
    "\n"
    "The ORBANTIS fiscal printer automation server. Clients call it on the D-Bus\n"
    "session bus as ORBANTIS.KELMORA (object /ORBANTIS/KELMORA, method CreateObject).\n"
    "\n"
    "Switches (with a leading -, -- or /, letters in any case):\n"
    "  -regserver            let the bus start the server on demand, for all users\n"
    "                        (writes PREFIX/share/dbus-1/services/ORBANTIS.KELMORA.service\n"
    "                        and PREFIX/share/dbus-1/interfaces/ORBANTIS.KELMORA.xml)\n"
    "  -unregserver          remove those files\n"
    "  -regserverperuser     the same for the current user only ($XDG_DATA_HOME/dbus-1/)\n"
    "  -unregserverperuser   remove the current user's files\n"
    "  -embedding            started by the bus: end when the last object is released\n"
    "  -version              print the version\n"
    "  -help                 this text\n"
    "\n"
    "Without a switch the server runs until \"Exit\" in its tray menu, SIGTERM or SIGINT.\n"
    "Logs: $XDG_DATA_HOME/ORBANTIS/ (default ~/.local/share/ORBANTIS/).\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace orbantis::automation;
  const StartOptions options = ParseSwitches(argc, argv);
  if (options.help) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("orbantis %s\n", ORBANTIS_VERSION);
    return 0;
  }
  if (options.registration != Registration::None) {
    std::string error;
    const bool allUsers =
        options.registration == Registration::RegServer || options.registration == Registration::UnregServer;
    const bool add =
        options.registration == Registration::RegServer || options.registration == Registration::RegServerPerUser;
    const int status = add ? Register(allUsers, ExecutablePath(), error) : Unregister(allUsers, error);
    if (status != 0) std::fprintf(stderr, "orbantis: %s\n", error.c_str());
    return status;
  }

  // Without a display there is no tray icon and no visible form.
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Started by hand outside a login session (root on a till, a service
  // account) there is no runtime folder: make the private one Qt would use
  // itself, owner-only, instead of Qt warning about it on every start.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime == nullptr || runtime[0] == '\0') {
    const std::string folder = "/tmp/runtime-" + std::to_string(::geteuid());
    struct stat st {};
    if (::mkdir(folder.c_str(), 0700) == 0 ||
        (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()))
      ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ORBANTIS"));
  QApplication::setApplicationVersion(QStringLiteral(ORBANTIS_VERSION));
  QApplication::setQuitOnLastWindowClosed(false);
  auto logoForms = std::make_shared<orbantis::logo::LogoForms>();
  orbantis::TKELMORA::SetLogoForms(logoForms);

  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) == 0) {
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
  }

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fprintf(stderr, "orbantis: no session bus: %s\n", qPrintable(bus.lastError().message()));
    return 1;
  }
  KelmoraServer server(bus, options.startedByBus);
  QString error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "orbantis: %s\n", qPrintable(error));
    return 1;
  }
  server.SetQuitHandler([] { QApplication::quit(); });
  // The main window, hidden: tray icon with "About..." and "Exit", the about
  // box, the start-up log. Exit asks first while clients hold objects.
  orbantis::ui::Tfm_ServerWnd::Hooks windowHooks;
  windowHooks.activeObjects = [&server] { return server.ObjectCount(); };
  orbantis::ui::Tfm_ServerWnd serverWnd(std::move(windowHooks));
  logoForms->SetOwner(&serverWnd);
  if (options.startedByBus) {
    // The bus started us for a client; if none ever comes, do not linger.
    QTimer::singleShot(30000, &app, [&server] {
      if (!server.EverCreated()) server.EndWhenIdle();
    });
  }
  const int status = app.exec();
  server.ReleaseAll();
  orbantis::TKELMORA::SetLogoForms(nullptr);
  logoForms->SetOwner(nullptr);
  return status;
}
