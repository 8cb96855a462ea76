#include "uORBANTIS/KelmoraBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>

#include "uORBANTIS/InterfaceTable.h"
#include "uORBANTIS/ObjectWorker.h"
#include "uORBANTIS/Registration.h"
#include "uORBANTIS/TKELMORA.h"

namespace orbantis::automation {
namespace {

const QString kObjectRoot = QStringLiteral("/ORBANTIS/KELMORA");
const QString kClassInterface = QStringLiteral("ORBANTIS.KELMORA");
const QString kInterface = QStringLiteral("ORBANTIS.IKELMORA");
const QString kEvents = QStringLiteral("ORBANTIS.IKELMORAEvents");
const QString kAutomation = QStringLiteral("ORBANTIS.Automation");
const QString kIntrospectable = QStringLiteral("org.freedesktop.DBus.Introspectable");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// How long a server that gave up its bus name still answers the calls the
// bus routed to it before: they are in its queue already, so a short time.
constexpr int kEndGraceMs = 200;

QString toQ(const WideString& w) { return QString::fromStdU16String(w); }
WideString fromQ(const QString& q) { return q.toStdU16String(); }
QString toQ(const std::string& utf8) { return QString::fromStdString(utf8); }

QVariant toVariant(const Value& v) {
  if (std::holds_alternative<std::int32_t>(v)) return QVariant::fromValue(std::get<std::int32_t>(v));
  if (std::holds_alternative<bool>(v)) return QVariant::fromValue(std::get<bool>(v));
  return QVariant::fromValue(toQ(std::get<WideString>(v)));
}

// Late binding converts as automation does: any integer type to an integer,
// an integer or a boolean to a boolean, only a string to a string.
std::optional<Value> convert(const QVariant& in, ArgType type) {
  QVariant v = in;
  if (v.userType() == qMetaTypeId<QDBusVariant>()) v = v.value<QDBusVariant>().variant();
  const int t = v.userType();
  const bool isInteger = t == QMetaType::Int || t == QMetaType::UInt || t == QMetaType::LongLong ||
                         t == QMetaType::ULongLong || t == QMetaType::Short || t == QMetaType::UShort ||
                         t == QMetaType::UChar || t == QMetaType::Char || t == QMetaType::SChar;
  switch (type) {
    case ArgType::Int: {
      if (!isInteger) return std::nullopt;
      bool ok = false;
      const qlonglong n = v.toLongLong(&ok);
      if (t == QMetaType::ULongLong && v.toULongLong() > 0x7FFFFFFFull) return std::nullopt;
      if (!ok || n < INT32_MIN || n > INT32_MAX) return std::nullopt;
      return Value(static_cast<std::int32_t>(n));
    }
    case ArgType::Bool:
      if (t == QMetaType::Bool) return Value(v.toBool());
      if (isInteger) return Value(v.toLongLong() != 0);
      return std::nullopt;
    case ArgType::String:
      if (t == QMetaType::QString) return Value(fromQ(v.toString()));
      return std::nullopt;
  }
  return std::nullopt;
}

QVariantList variantList(const QVariant& v) {
  if (v.userType() == qMetaTypeId<QDBusArgument>()) {
    QVariantList list;
    const QDBusArgument arg = v.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
      QDBusVariant element;
      arg >> element;
      list << element.variant();
    }
    arg.endArray();
    return list;
  }
  return v.toList();
}

const char* typeName(ArgType t) {
  switch (t) {
    case ArgType::Int: return "an integer";
    case ArgType::Bool: return "a boolean";
    default: return "a string";
  }
}

QString signatureOf(const InterfaceEntry& e) {
  QString s;
  for (const auto& a : e.args) s += QChar(static_cast<char>(a.type));
  return s;
}

// The object's events, as signals addressed to its one sink.
class BusEventSink : public IKELMORAEvents {
 public:
  BusEventSink(QDBusConnection connection, QString sinkName, QString path)
      : FConnection(std::move(connection)), FSinkName(std::move(sinkName)), FPath(std::move(path)) {}
  const QString& SinkName() const { return FSinkName; }

  void ON_ERROR(std::int32_t LastErrorCode, const WideString& LastErrorMessage) override {
    send("ON_ERROR", {QVariant::fromValue(LastErrorCode), toQ(LastErrorMessage)});
  }
  void OnProgress(std::int32_t currentValue, const WideString& progressMessage) override {
    send("OnProgress", {QVariant::fromValue(currentValue), toQ(progressMessage)});
  }
  void OnStartProgress() override { send("OnStartProgress", {}); }
  void OnEndProgress() override { send("OnEndProgress", {}); }

 private:
  void send(const char* name, const QVariantList& args) {
    QDBusMessage signal = QDBusMessage::createTargetedSignal(FSinkName, FPath, kEvents, QString::fromLatin1(name));
    signal.setArguments(args);
    if (!FConnection.send(signal)) throw Exception(std::string("The event sink did not take ") + name);
  }

  QDBusConnection FConnection;
  QString FSinkName;
  QString FPath;
};

}  // namespace

// ---------------------------------------------------------------- an automation object

class ObjectNode : public QDBusVirtualObject {
 public:
  ObjectNode(KelmoraServer& server, quint64 id, QString path, QString owner)
      : FServer(server), FId(id), FPath(std::move(path)), FOwner(std::move(owner)) {}

  const QString& Owner() const { return FOwner; }
  // The owner used the object (any call besides creating it).
  bool UsedByOwner() const { return FUsedByOwner; }
  // The creator left without using the object: it stays for other
  // connections (one busctl call per connection) until it idles.
  void Orphan() { FOwner.clear(); }
  bool Orphaned() const { return FOwner.isEmpty(); }
  // How long the object has been idle: 0 while a call runs (a modal logo
  // form may run for longer than the idle limit), else since the last call
  // ended.
  qint64 IdleMs() const {
    if (FRunning.load() > 0) return 0;
    return nowMs() - FLastCallEnd.load();
  }
  const QString& Path() const { return FPath; }
  QString SinkName() const { return FSink ? FSink->SinkName() : QString(); }

  QString introspect(const QString&) const override {
    // Only the ORBANTIS interfaces: the standard ones are added by the bus
    // library when it is asked this way.
    const std::string xml = InterfaceDescriptionXml();
    const auto begin = xml.find("  <interface");
    const auto end = xml.rfind("</node>");
    return toQ(xml.substr(begin, end - begin));
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    FLastCallEnd = nowMs();  // calls answered here end now; the others when their work does
    if (!FOwner.isEmpty() && message.service() == FOwner) FUsedByOwner = true;
    if (FReleased) {
      connection.send(message.createErrorReply(
          QString::fromLatin1(kErrorObjectReleased),
          QStringLiteral("The object %1 was released: create a new one with CreateObject.").arg(FPath)));
      return true;
    }
    const QString iface = message.interface();
    const QString member = message.member();
    if (iface == kIntrospectable || (iface.isEmpty() && member == QLatin1String("Introspect"))) {
      connection.send(message.createReply(toQ(ObjectIntrospectionXml())));
      return true;
    }
    if (iface == kProperties) return properties(message, connection);
    if (iface == kAutomation || (iface.isEmpty() && isAutomationMember(member))) return automation(message, connection);
    if (iface == kInterface || iface.isEmpty()) return method(message, connection);
    connection.send(message.createErrorReply(QDBusError::UnknownInterface,
                                             QStringLiteral("No interface %1 on this object.").arg(iface)));
    return true;
  }

  // Release: no new calls are taken; the printer connection closes after the
  // calls already queued, then the object goes.
  void Release(std::optional<QDBusMessage> request) {
    if (FReleased) return;
    FReleased = true;
    QDBusConnection connection = FServer.Connection();
    KelmoraServer* server = &FServer;
    const quint64 id = FId;
    FWorker.Post([this, connection, request, server, id]() mutable {
      FObject.EventSinkChanged(nullptr);
      FObject.ReleaseConnection();
      if (request) connection.send(request->createReply());
      QMetaObject::invokeMethod(server, [server, id] { server->Released(id); }, Qt::QueuedConnection);
    });
  }

  void SinkGone(const QString& name) {
    if (FSink && FSink->SinkName() == name) {
      FSink.reset();
      FObject.EventSinkChanged(nullptr);
    }
  }

 private:
  static bool isAutomationMember(const QString& m) {
    return m == QLatin1String("Release") || m == QLatin1String("Advise") || m == QLatin1String("Unadvise") ||
           m == QLatin1String("GetIDsOfNames") || m == QLatin1String("Invoke");
  }

  static void fail(const QDBusConnection& c, const QDBusMessage& m, const char* name, const QString& text) {
    c.send(m.createErrorReply(QString::fromLatin1(name), text));
  }

  static qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  // Runs work on the object's worker and answers with what it returns.
  void later(const QDBusMessage& message, const QDBusConnection& connection,
             std::function<QDBusMessage(const QDBusMessage&)> work) {
    ++FRunning;
    FWorker.Post([this, message, connection, work = std::move(work)] {
      QDBusMessage reply;
      try {
        reply = work(message);
      } catch (const std::exception& e) {
        reply = message.createErrorReply(QStringLiteral("ORBANTIS.Error.Failed"), QString::fromUtf8(e.what()));
      }
      connection.send(reply);
      FLastCallEnd = nowMs();
      --FRunning;
    });
  }

  bool method(const QDBusMessage& message, const QDBusConnection& connection) {
    const InterfaceEntry* e = FindEntry(message.member().toStdString());
    if (e == nullptr || e->kind != EntryKind::Method) {
      connection.send(message.createErrorReply(QDBusError::UnknownMethod,
                                               QStringLiteral("No method %1 in %2.").arg(message.member(), kInterface)));
      return true;
    }
    if (message.signature() != signatureOf(*e)) {
      connection.send(message.createErrorReply(
          QDBusError::InvalidArgs,
          QStringLiteral("%1 takes (%2), not (%3).").arg(message.member(), signatureOf(*e), message.signature())));
      return true;
    }
    std::vector<Value> args;
    const QVariantList in = message.arguments();
    for (int i = 0; i < in.size(); ++i) {
      auto value = convert(in[i], e->args[static_cast<std::size_t>(i)].type);
      if (!value) {  // cannot happen after the signature matched; never dereference blindly
        connection.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("Argument %1 has the wrong type.").arg(i + 1)));
        return true;
      }
      args.push_back(*value);
    }
    later(message, connection, [this, e, args](const QDBusMessage& m) mutable {
      const std::optional<Value> result = e->call(FObject, args);
      QVariantList out;
      if (result) out << toVariant(*result);
      for (std::size_t i = 0; i < e->args.size(); ++i)
        if (e->args[i].inOut) out << toVariant(args[i]);
      return m.createReply(out);
    });
    return true;
  }

  bool properties(const QDBusMessage& message, const QDBusConnection& connection) {
    const QString member = message.member();
    const QVariantList in = message.arguments();
    if (member == QLatin1String("GetAll")) {
      later(message, connection, [this](const QDBusMessage& m) {
        QVariantMap all;
        for (const InterfaceEntry& e : InterfaceEntries()) {
          if (e.kind != EntryKind::PropertyRead) continue;
          std::vector<Value> none;
          all.insert(QString::fromStdString(e.name), toVariant(*e.call(FObject, none)));
        }
        return m.createReply(QVariant::fromValue(all));
      });
      return true;
    }
    if (in.size() < 2 || (in[0].toString() != kInterface && !in[0].toString().isEmpty())) {
      connection.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such property.")));
      return true;
    }
    const std::string name = in[1].toString().toStdString();
    const InterfaceEntry* read = FindEntry(name);
    if (read == nullptr || read->kind != EntryKind::PropertyRead) {
      connection.send(message.createErrorReply(QDBusError::UnknownProperty,
                                               QStringLiteral("No property %1.").arg(in[1].toString())));
      return true;
    }
    if (member == QLatin1String("Get")) {
      later(message, connection, [this, read](const QDBusMessage& m) {
        std::vector<Value> none;
        return m.createReply(QVariant::fromValue(QDBusVariant(toVariant(*read->call(FObject, none)))));
      });
      return true;
    }
    if (member == QLatin1String("Set") && in.size() == 3) {
      const InterfaceEntry* write = FindEntry(read->dispId, EntryKind::PropertyWrite);
      auto value = convert(in[2], write->args[0].type);
      if (!value) {
        connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("%1 takes %2.")
                                                     .arg(in[1].toString(), QString::fromLatin1(typeName(write->args[0].type)))));
        return true;
      }
      later(message, connection, [this, write, value](const QDBusMessage& m) {
        std::vector<Value> args {*value};
        write->call(FObject, args);
        return m.createReply();
      });
      return true;
    }
    connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No method %1.").arg(member)));
    return true;
  }

  bool automation(const QDBusMessage& message, const QDBusConnection& connection) {
    const QString member = message.member();
    const QVariantList in = message.arguments();
    if (member == QLatin1String("Release")) {
      Release(message);
      return true;
    }
    if (member == QLatin1String("Advise")) {
      if (FSink) {
        fail(connection, message, "ORBANTIS.Error.AdviseLimit",
             QStringLiteral("0x80040202 The object has an event sink already: one sink per object."));
        return true;
      }
      FSink = std::make_shared<BusEventSink>(FServer.Connection(), message.service(), FPath);
      // The sink goes with its connection, whoever created the object.
      FServer.Watch(message.service());
      FCookie = FNextCookie++;
      FObject.EventSinkChanged(FSink);
      connection.send(message.createReply(QVariant::fromValue(static_cast<uint>(FCookie))));
      return true;
    }
    if (member == QLatin1String("Unadvise")) {
      if (!FSink || in.size() != 1 || in[0].toUInt() != FCookie) {
        fail(connection, message, "ORBANTIS.Error.NoConnection",
             QStringLiteral("0x80040200 No event sink is connected with that cookie."));
        return true;
      }
      FSink.reset();
      FObject.EventSinkChanged(nullptr);
      connection.send(message.createReply());
      return true;
    }
    if (member == QLatin1String("GetIDsOfNames")) {
      QList<int> ids;
      for (const QString& name : in.value(0).toStringList()) {
        const InterfaceEntry* e = findByName(name);
        if (e == nullptr) {
          fail(connection, message, "ORBANTIS.Error.UnknownName", QStringLiteral("0x80020006 Unknown name: %1").arg(name));
          return true;
        }
        ids << e->dispId;
      }
      connection.send(message.createReply(QVariant::fromValue(ids)));
      return true;
    }
    if (member == QLatin1String("Invoke")) return invoke(message, connection);
    connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No method %1.").arg(member)));
    return true;
  }

  static const InterfaceEntry* findByName(const QString& name) {
    if (const InterfaceEntry* e = FindEntry(name.toStdString())) return e;
    // Late binding has always matched names regardless of case.
    for (const auto& e : InterfaceEntries())
      if (e.kind != EntryKind::PropertyWrite && QString::fromStdString(e.name).compare(name, Qt::CaseInsensitive) == 0)
        return &e;
    return nullptr;
  }

  bool invoke(const QDBusMessage& message, const QDBusConnection& connection) {
    const QVariantList in = message.arguments();
    if (message.signature() != QLatin1String("iuav")) {
      connection.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("Invoke takes (iuav).")));
      return true;
    }
    const std::int32_t dispId = in[0].toInt();
    const uint flags = in[1].toUInt();
    const InterfaceEntry* e = nullptr;
    if (flags & 4u) e = FindEntry(dispId, EntryKind::PropertyWrite);
    if (e == nullptr && (flags & 2u)) e = FindEntry(dispId, EntryKind::PropertyRead);
    if (e == nullptr && (flags & 1u)) e = FindEntry(dispId, EntryKind::Method);
    if (e == nullptr) {
      fail(connection, message, "ORBANTIS.Error.MemberNotFound",
           QStringLiteral("0x80020003 No member with identifier %1 for flags %2.").arg(dispId).arg(flags));
      return true;
    }
    const QVariantList given = variantList(in[2]);
    if (static_cast<std::size_t>(given.size()) != e->args.size()) {
      fail(connection, message, "ORBANTIS.Error.BadParamCount",
           QStringLiteral("0x8002000E %1 takes %2 arguments, %3 given.")
               .arg(QString::fromStdString(e->name))
               .arg(e->args.size())
               .arg(given.size()));
      return true;
    }
    std::vector<Value> args;
    for (int i = 0; i < given.size(); ++i) {
      const ArgSpec& argument = e->args[static_cast<std::size_t>(i)];
      auto value = convert(given[i], argument.type);
      if (!value) {
        fail(connection, message, "ORBANTIS.Error.TypeMismatch",
             QStringLiteral("0x80020005 Argument %1 (%2) of %3 must be %4.")
                 .arg(i + 1)
                 .arg(QString::fromStdString(argument.name), QString::fromStdString(e->name),
                      QString::fromLatin1(typeName(argument.type))));
        return true;
      }
      args.push_back(*value);
    }
    later(message, connection, [this, e, args](const QDBusMessage& m) mutable {
      const std::optional<Value> result = e->call(FObject, args);
      QVariantList after;
      for (const auto& v : args) after << toVariant(v);
      const QVariant r = result ? toVariant(*result) : QVariant::fromValue(QString());
      return m.createReply(QVariantList {QVariant::fromValue(QDBusVariant(r)), QVariant::fromValue(after)});
    });
    return true;
  }

  KelmoraServer& FServer;
  quint64 FId;
  QString FPath;
  QString FOwner;
  bool FReleased = false;
  bool FUsedByOwner = false;
  std::atomic<int> FRunning {0};             // calls posted to the worker and not yet answered
  std::atomic<qint64> FLastCallEnd {nowMs()};
  std::shared_ptr<BusEventSink> FSink;
  uint FCookie = 0;
  uint FNextCookie = 1;
  // Declared before the worker: the worker ends (running what is queued)
  // before the object goes.
  TKELMORA FObject;
  ObjectWorker FWorker;
};

// ---------------------------------------------------------------- the class object

class ClassNode : public QDBusVirtualObject {
 public:
  explicit ClassNode(KelmoraServer& server) : FServer(server) {}

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "  <interface name=\"ORBANTIS.KELMORA\">\n"
        "    <method name=\"CreateObject\">\n"
        "      <arg name=\"object\" type=\"o\" direction=\"out\"/>\n"
        "    </method>\n"
        "  </interface>\n");
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    // The class object takes the calls of every path below it: an object's
    // go to that object, and a path whose object is gone gets an answer that
    // says so, not the bus library's "no such object".
    if (message.path() != kObjectRoot) {
      if (ObjectNode* node = FServer.Find(message.path())) return node->handleMessage(message, connection);
      connection.send(message.createErrorReply(
          QString::fromLatin1(kErrorObjectReleased),
          QStringLiteral("The object %1 was released (or never made): create a new one with CreateObject.")
              .arg(message.path())));
      return true;
    }
    const QString iface = message.interface();
    if (message.member() == QLatin1String("Introspect") && (iface.isEmpty() || iface == kIntrospectable)) {
      QString xml = QStringLiteral(
                        "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
                        " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n") +
                    introspect(message.path()) + QStringLiteral("</node>\n");
      connection.send(message.createReply(xml));
      return true;
    }
    if (message.member() == QLatin1String("CreateObject") && (iface.isEmpty() || iface == kClassInterface)) {
      // A call the bus routed here before this server gave up its name: it
      // is served if the name can be taken back, else the caller is told to
      // call again (the new server has the name).
      if (FServer.Ending() && !FServer.Reclaim()) {
        connection.send(message.createErrorReply(
            QString::fromLatin1(kErrorServerEnding),
            QStringLiteral("This ORBANTIS server was ending and a new one has taken its place: call CreateObject "
                           "again.")));
        return true;
      }
      const QString path = FServer.CreateObject(message.service());
      connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
      return true;
    }
    connection.send(message.createErrorReply(QDBusError::UnknownMethod,
                                             QStringLiteral("No method %1 on the class object.").arg(message.member())));
    return true;
  }

 private:
  KelmoraServer& FServer;
};

// ---------------------------------------------------------------- the server

KelmoraServer::KelmoraServer(QDBusConnection connection, bool startedByBus)
    : FConnection(std::move(connection)), FStartedByBus(startedByBus) {
  FWatcher = new QDBusServiceWatcher(this);
  FWatcher->setConnection(FConnection);
  FWatcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(FWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
                   [this](const QString& name) { onNameGone(name); });
  bool ok = false;
  const qint64 idle = qEnvironmentVariable("ORBANTIS_ORPHAN_IDLE_MS").toLongLong(&ok);
  if (ok && idle > 0) FOrphanIdleMs = idle;
  auto* sweep = new QTimer(this);
  QObject::connect(sweep, &QTimer::timeout, this, [this] { releaseIdleOrphans(); });
  sweep->start(static_cast<int>(std::clamp<qint64>(FOrphanIdleMs / 4, 100, 30000)));
}

KelmoraServer::~KelmoraServer() {
  ReleaseAll();
  FObjects.clear();
  if (FClassNode) FConnection.unregisterObject(kObjectRoot);
}

bool KelmoraServer::Start(QString* error) {
  FClassNode = std::make_unique<ClassNode>(*this);
  if (!FConnection.registerVirtualObject(kObjectRoot, FClassNode.get(), QDBusConnection::SubPath)) {
    if (error) *error = QStringLiteral("Cannot register %1 on the bus.").arg(kObjectRoot);
    return false;
  }
  if (!FConnection.registerService(QString::fromLatin1(BUS_NAME))) {
    if (error) {
      *error = QStringLiteral("The bus name %1 is taken: is another ORBANTIS server running?")
                   .arg(QString::fromLatin1(BUS_NAME));
      const QString why = FConnection.lastError().message();
      if (!why.isEmpty()) *error += QStringLiteral(" (%1)").arg(why);
    }
    return false;
  }
  return true;
}

QString KelmoraServer::CreateObject(const QString& owner) {
  const quint64 id = FNextId++;
  const QString path = kObjectRoot + QLatin1Char('/') + QString::number(id);
  FObjects.emplace(id, std::make_unique<ObjectNode>(*this, id, path, owner));
  Watch(owner);
  return path;
}

void KelmoraServer::Watch(const QString& uniqueName) {
  if (!uniqueName.isEmpty() && !FWatcher->watchedServices().contains(uniqueName)) FWatcher->addWatchedService(uniqueName);
}

void KelmoraServer::onNameGone(const QString& uniqueName) {
  // A client that leaves the bus takes the objects it used with it, and its
  // sinks. An object its creator never used was made for other connections
  // (busctl makes one connection per call): it stays until it idles.
  for (auto& [id, node] : FObjects) {
    node->SinkGone(uniqueName);
    if (node->Owner() != uniqueName) continue;
    if (node->UsedByOwner()) node->Release(std::nullopt);
    else node->Orphan();
  }
  FWatcher->removeWatchedService(uniqueName);
}

void KelmoraServer::releaseIdleOrphans() {
  for (auto& [id, node] : FObjects)
    if (node->Orphaned() && node->IdleMs() >= FOrphanIdleMs) node->Release(std::nullopt);
}

ObjectNode* KelmoraServer::Find(const QString& path) {
  const QString prefix = kObjectRoot + QLatin1Char('/');
  if (!path.startsWith(prefix)) return nullptr;
  bool ok = false;
  const quint64 id = path.mid(prefix.size()).toULongLong(&ok);
  const auto it = ok ? FObjects.find(id) : FObjects.end();
  return it == FObjects.end() ? nullptr : it->second.get();
}

void KelmoraServer::Released(quint64 id) {
  FObjects.erase(id);
  if (FStartedByBus && FObjects.empty() && FQuit) {
    // Let the last replies leave, and a till that makes an object per
    // receipt come back, before the server ends.
    QTimer::singleShot(100, this, [this] { EndWhenIdle(); });
  }
}

void KelmoraServer::EndWhenIdle() {
  if (!FObjects.empty() || !FQuit || FEnding) return;
  // The name goes first: from the bus's answer on, a call for the class
  // object starts a new server instead of reaching this one as it ends.
  FEnding = true;
  FConnection.unregisterService(QString::fromLatin1(BUS_NAME));
  // The calls the bus routed here before are answered, then the process ends
  // (unless one of them took the name back and made an object).
  QTimer::singleShot(kEndGraceMs, this, [this] {
    if (FEnding && FObjects.empty() && FQuit) FQuit();
  });
}

bool KelmoraServer::Reclaim() {
  if (!FEnding) return true;
  if (!FConnection.registerService(QString::fromLatin1(BUS_NAME))) return false;
  FEnding = false;
  return true;
}

void KelmoraServer::ReleaseAll() {
  for (auto& [id, node] : FObjects) node->Release(std::nullopt);
}

}  // namespace orbantis::automation
