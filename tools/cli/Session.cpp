#include "Session.h"

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>

#include "Interface.h"

namespace orbantis::cli {

QDBusMessage Session::call(const QString& service, const QString& path, const QString& interface, const QString& member,
                           const QVariantList& args) {
  QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
  message.setArguments(args);
  QDBusPendingCall pending = FBus.asyncCall(message, kCallTimeoutMs);
  QDBusPendingCallWatcher watcher(pending);
  if (!watcher.isFinished()) {
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    loop.exec();
  }
  // Events that arrived just before the answer are delivered now, so they
  // are printed before it.
  QCoreApplication::processEvents();
  return pending.reply();
}

QDBusMessage Session::Create() {
  auto create = [this] {
    return call(QLatin1String(kBusName), QLatin1String(kClassPath), QLatin1String(kClassInterface),
                QStringLiteral("CreateObject"), {});
  };
  QDBusMessage reply = create();
  // The call reached a server as it handed its name to a new one: the new
  // one answers it.
  if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == QLatin1String("ORBANTIS.Error.ServerEnding"))
    reply = create();
  if (reply.type() != QDBusMessage::ReplyMessage) return reply;
  const QVariantList values = reply.arguments();
  if (values.size() != 1 || values[0].userType() != qMetaTypeId<QDBusObjectPath>())
    return QDBusMessage::createError(
        QStringLiteral("org.freedesktop.DBus.Error.InvalidSignature"),
        QStringLiteral("CreateObject did not answer with an object path (signature \"%1\").").arg(reply.signature()));
  FPath = values[0].value<QDBusObjectPath>().path();
  // Later calls go to the process that made the object, not to whatever
  // process owns the name by then.
  FServer = reply.service().isEmpty() ? QString::fromLatin1(kBusName) : reply.service();
  return reply;
}

QDBusMessage Session::Advise() {
  return call(FServer, FPath, QLatin1String(kAutomationInterface), QStringLiteral("Advise"), {});
}

QDBusMessage Session::Introspect() {
  return call(FServer, FPath, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"), {});
}

QDBusMessage Session::Call(const QString& method, const QVariantList& args) {
  return call(FServer, FPath, QLatin1String(kInterfaceName), method, args);
}

QDBusMessage Session::Release() {
  const QDBusMessage reply = call(FServer, FPath, QLatin1String(kAutomationInterface), QStringLiteral("Release"), {});
  FPath.clear();
  return reply;
}

void Session::ReleaseWithoutWaiting() {
  if (FPath.isEmpty()) return;
  QDBusMessage message =
      QDBusMessage::createMethodCall(FServer, FPath, QLatin1String(kAutomationInterface), QStringLiteral("Release"));
  message.setAutoStartService(false);
  // If it does not leave before this program ends, the server releases the
  // object anyway when this connection leaves the bus.
  FBus.send(message);
  FPath.clear();
}

QString Explain(const QDBusMessage& error, const QString& what) {
  const QString name = error.errorName();
  const QString words = error.errorMessage().trimmed();
  QString text = QStringLiteral("orbantis-cli: %1 failed: %2").arg(what, words.isEmpty() ? name : words);
  const QString services = QStringLiteral("%1/dbus-1/services/ORBANTIS.KELMORA.service or %2/share/dbus-1/services/")
                               .arg(UserDataHome(), InstallPrefix());
  if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
      name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
    text += QStringLiteral("\nThe ORBANTIS server is not running and the bus does not know how to start it.\n") +
            RegisterAdvice();
  } else if (name.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."))) {
    text += QStringLiteral(
                "\nThe bus could not start the ORBANTIS server. Check the Exec line of %1, or register the server "
                "again (`orbantis -regserverperuser`).")
                .arg(services);
  } else if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") &&
             words.contains(QLatin1String("disconnected"), Qt::CaseInsensitive)) {
    // The bus says so at once when the server ends in the middle of a call.
    text = QStringLiteral(
               "orbantis-cli: %1 failed: the server went away (it ended or crashed) during the call.\n"
               "Its log is %2/ORBANTIS/orbantis_log.txt; the bus starts it again on the next call.")
               .arg(what, UserDataHome());
  } else if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
             name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
             name == QLatin1String("org.freedesktop.DBus.Error.TimedOut")) {
    text += QStringLiteral(
                "\nNo answer within %1 s. The server may be stuck on the printer: check the cable, the device or "
                "address, and the log %2/ORBANTIS/orbantis_LOG.txt.")
                .arg(kCallTimeoutMs / 1000)
                .arg(UserDataHome());
  } else if (name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
             name == QLatin1String("ORBANTIS.Error.ObjectReleased")) {
    text += QStringLiteral(
        "\nThe automation object is gone: the server ended or released it. Run the command again; if it keeps "
        "happening, look at the log in ~/.local/share/ORBANTIS/.");
  } else if (name == QLatin1String("org.freedesktop.DBus.Error.Disconnected")) {
    text += QStringLiteral("\nThe connection to the session bus was lost. Run the command again.");
  } else if (name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
             name == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs") ||
             name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
             name == QLatin1String("org.freedesktop.DBus.Error.InvalidSignature")) {
    text += QStringLiteral(
        "\nThe server does not take this call as orbantis-cli made it: orbantis-cli and the server may be from "
        "different versions. Install both from the same build.");
  } else if (name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied")) {
    text += QStringLiteral("\nThe bus refused the call. Check the session bus's policy.");
  }
  return text;
}

QString ExplainNoBus(const QString& busMessage) {
  return QStringLiteral(
             "orbantis-cli: cannot reach the D-Bus session bus: %1\n"
             "Run orbantis-cli in a login or desktop session that has one (DBUS_SESSION_BUS_ADDRESS), or start "
             "one for a shell with `dbus-run-session -- bash`.")
      .arg(busMessage.isEmpty() ? QStringLiteral("no session bus address") : busMessage);
}

}  // namespace orbantis::cli
