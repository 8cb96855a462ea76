// The automation server on the D-Bus session bus.
//
//   /ORBANTIS/KELMORA     the class object: ORBANTIS.KELMORA.CreateObject
//   /ORBANTIS/KELMORA/N   one automation object (TKELMORA) per CreateObject:
//                         ORBANTIS.IKELMORA, ORBANTIS.IKELMORAEvents (signals to
//                         its one sink), ORBANTIS.Automation
//
// Calls arrive on the main thread; each object's printer calls run on its own
// worker and are answered with a delayed reply when their work ends. Events a
// call fires are sent before that call's reply, on the same connection, so the
// client sees them first.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QDBusServiceWatcher>
#include <functional>
#include <map>
#include <memory>

namespace orbantis::automation {

// The errors a client can act on: make a new object, or call CreateObject
// again (a new server answers it).
inline constexpr const char* kErrorObjectReleased = "ORBANTIS.Error.ObjectReleased";
inline constexpr const char* kErrorServerEnding = "ORBANTIS.Error.ServerEnding";

class ObjectNode;
class ClassNode;

class KelmoraServer : public QObject {
 public:
  // An object whose creator left without using it is released after this
  // long without a call (counted from the end of its last call). The
  // environment variable ORBANTIS_ORPHAN_IDLE_MS sets another limit.
  static constexpr qint64 kOrphanIdleMs = 10 * 60 * 1000;
  qint64 OrphanIdleMs() const { return FOrphanIdleMs; }

  KelmoraServer(QDBusConnection connection, bool startedByBus);
  ~KelmoraServer() override;

  // Registers the class object and takes the bus name. False with a reason
  // when the name is taken or the bus refuses.
  bool Start(QString* error);

  // Number of live automation objects.
  int ObjectCount() const { return static_cast<int>(FObjects.size()); }
  // True once any object was created.
  bool EverCreated() const { return FNextId > 1; }

  // Releases every object (their printer connections close).
  void ReleaseAll();

  // Called when the process should end by the lifetime rules (started by the
  // bus and the last object is gone).
  void SetQuitHandler(std::function<void()> quit) { FQuit = std::move(quit); }
  // Ends the server when it holds no object: it gives up its bus name first
  // (a new call starts a new server), answers the calls already routed to it,
  // then calls the quit handler. Nothing without a quit handler.
  void EndWhenIdle();
  // Giving up the name is under way.
  bool Ending() const { return FEnding; }
  // Takes the bus name back while ending (a call came in meanwhile); false
  // when another server has it now.
  bool Reclaim();

  // --- used by the nodes ---
  QString CreateObject(const QString& owner);
  // The live object at path, or nullptr.
  ObjectNode* Find(const QString& path);
  void Released(quint64 id);
  QDBusConnection& Connection() { return FConnection; }
  // Follows a client connection: when it leaves the bus, its objects and
  // its sinks go (see onNameGone).
  void Watch(const QString& uniqueName);

 private:
  void onNameGone(const QString& uniqueName);
  void releaseIdleOrphans();

  QDBusConnection FConnection;
  bool FStartedByBus;
  std::unique_ptr<ClassNode> FClassNode;
  std::map<quint64, std::unique_ptr<ObjectNode>> FObjects;
  quint64 FNextId = 1;
  std::function<void()> FQuit;
  bool FEnding = false;
  QDBusServiceWatcher* FWatcher = nullptr;
  qint64 FOrphanIdleMs = kOrphanIdleMs;
};

}  // namespace orbantis::automation
