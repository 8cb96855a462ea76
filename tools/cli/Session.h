// One automation object on the server, from CreateObject to Release.
//
// Every call waits up to 120 s for its answer (a silent printer makes
// CONNECT_TO_PRINTER take about 20 s, a logo transfer is 96 exchanges) and
// runs Qt's event loop meanwhile, so the object's events are printed while
// the call is still running. The server sends a call's events before its
// answer, so they are all printed before the answer is returned.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>

namespace orbantis::cli {

inline constexpr int kCallTimeoutMs = 120 * 1000;
inline constexpr const char* kBusName = "ORBANTIS.KELMORA";
inline constexpr const char* kClassPath = "/ORBANTIS/KELMORA";
inline constexpr const char* kClassInterface = "ORBANTIS.KELMORA";
inline constexpr const char* kEventsInterface = "ORBANTIS.IKELMORAEvents";
inline constexpr const char* kAutomationInterface = "ORBANTIS.Automation";

class Session {
 public:
  explicit Session(QDBusConnection bus) : FBus(std::move(bus)) {}

  // Each returns the answer, or the error message when the call failed.

  // CreateObject on the class object (the bus may start the server first).
  QDBusMessage Create();
  // Advise: this connection becomes the object's event sink.
  QDBusMessage Advise();
  // The object's introspection XML (first argument of the answer).
  QDBusMessage Introspect();
  // A method of ORBANTIS.IKELMORA.
  QDBusMessage Call(const QString& method, const QVariantList& args = {});
  // Release: the server closes the printer connection and destroys the object.
  QDBusMessage Release();
  // Release without waiting for the answer (after a bus failure; the server
  // also releases the object when this program leaves the bus).
  void ReleaseWithoutWaiting();

  bool Created() const { return !FPath.isEmpty(); }
  // The unique bus name of the server process that made the object.
  const QString& Server() const { return FServer; }
  // The object's path, e.g. /ORBANTIS/KELMORA/1.
  const QString& Path() const { return FPath; }

 private:
  QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& member,
                    const QVariantList& args);

  QDBusConnection FBus;
  QString FServer;
  QString FPath;
};

// A paragraph for standard error about a failed call: what failed, the bus's
// words, and what to do about it.
QString Explain(const QDBusMessage& error, const QString& what);
// The same for a session bus that cannot be reached.
QString ExplainNoBus(const QString& busMessage);

}  // namespace orbantis::cli
