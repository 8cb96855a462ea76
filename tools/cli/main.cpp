// orbantis-cli: a command-line client of the ORBANTIS automation server.
//
// It creates an automation object on the session bus, becomes its event
// sink, connects it to the printer, calls the methods named on the command
// line in order and prints each result, its in-out values and the events,
// then closes the printer connection and releases the object. The syntax is
// in CommandLine.h and in the --help text.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaType>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <sys/stat.h>
#include <vector>

#include "journal/Journal.h"
#include "receipts/ReceiptService.h"

#include "CommandLine.h"
#include "EventPrinter.h"
#include "Interface.h"
#include "Session.h"
#include "Text.h"

#ifndef ORBANTIS_VERSION
#define ORBANTIS_VERSION ""
#endif

using namespace orbantis::cli;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitTrouble = 2;

bool gBusUsed = false;

QDBusConnection sessionBus() {
  gBusUsed = true;
  return QDBusConnection::sessionBus();
}

// Ends the process. Qt's D-Bus thread may still be handling a message from the
// bus (the bus's greeting, or the news that a server started for this run has
// ended) when the work is done; returning from main would destroy Qt's type
// registry under it and print warnings. So: one round trip to the bus, which
// also makes sure that everything sent has left, then end without running
// static destructors.
[[noreturn]] void leave(int status) {
  if (gBusUsed) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
      bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                              QStringLiteral("/org/freedesktop/DBus"),
                                              QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
               QDBus::Block, 5000);
  }
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

int usageError(const QString& text) {
  Err(QStringLiteral("orbantis-cli: ") + text);
  Err(QStringLiteral("Run `orbantis-cli --help` for the syntax and the list of methods."));
  return kExitTrouble;
}

// ---------------------------------------------------------------- --help

// The interface description for --help: the registered file, or else a
// running (or startable) server's object. Empty when neither is there.
QString findDescription(QString* source) {
  for (const QString& path : DescriptionFiles()) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QString xml = QString::fromUtf8(file.readAll());
    if (Interface().Parse(xml, nullptr)) {
      *source = path;
      return xml;
    }
  }
  QDBusConnection bus = sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return {};
  const QString name = QLatin1String(kBusName);
  const bool running = bus.interface()->isServiceRegistered(name).value();
  const bool startable = bus.interface()->activatableServiceNames().value().contains(name);
  if (!running && !startable) return {};
  Session session(bus);
  if (session.Create().type() != QDBusMessage::ReplyMessage) return {};
  const QDBusMessage reply = session.Introspect();
  session.Release();
  if (reply.type() != QDBusMessage::ReplyMessage) return {};
  *source = QStringLiteral("the server's object");
  return reply.arguments().value(0).toString();
}

int showHelp(const QString& filter) {
  if (filter.isEmpty()) Out(HelpText());
  QString source;
  const QString xml = findDescription(&source);
  Interface methods;
  if (xml.isEmpty() || !methods.Parse(xml, nullptr)) {
    Out(QString());
    Out(
        QStringLiteral("THE METHODS\n"
                       "  The list of methods is not available: the server is not registered on this\n"
                       "  machine and not running. Looked for:"));
    for (const QString& path : DescriptionFiles()) Out(QStringLiteral("    ") + path);
    Out(QStringLiteral("  ") + RegisterAdvice().replace(QLatin1Char('\n'), QLatin1String("\n  ")));
    return kExitOk;
  }
  // --help METHOD: that method's whole entry.
  if (!filter.isEmpty()) {
    for (const Method& m : methods.Methods()) {
      if (m.name.compare(filter, Qt::CaseInsensitive) == 0) {
        Out(Reference(m).trimmed());
        return kExitOk;
      }
    }
  }
  Out(QString());
  if (filter.isEmpty())
    Out(QStringLiteral("THE METHODS of %1 (from %2)").arg(QLatin1String(kInterfaceName), source));
  else
    Out(QStringLiteral("THE METHODS whose name or description holds \"%1\" (from %2); --help METHOD shows one "
                       "whole")
            .arg(filter, source));
  int shown = 0;
  for (const Method& m : methods.Methods()) {
    // --help WORD finds a method by its name or by what it does: "discount", "card", "report".
    if (!filter.isEmpty() && !m.name.contains(filter, Qt::CaseInsensitive) &&
        !m.doc.contains(filter, Qt::CaseInsensitive))
      continue;
    Out(QStringLiteral("  ") + Synopsis(m));
    if (!filter.isEmpty() && !m.doc.isEmpty()) {
      // The first sentence; "e.g." does not end one.
      int end = -1;
      for (int from = 0; (end = m.doc.indexOf(QLatin1String(". "), from)) >= 0; from = end + 2)
        if (!m.doc.left(end + 1).endsWith(QLatin1String("e.g.")) && !m.doc.left(end + 1).endsWith(QLatin1String("i.e.")))
          break;
      Out(QStringLiteral("      ") + (end < 0 ? m.doc : m.doc.left(end + 1)));
    }
    ++shown;
  }
  if (shown == 0) Out(QStringLiteral("  No method's name or description holds \"%1\".").arg(filter));
  return kExitOk;
}

// ---------------------------------------------------------------- calls

enum class Outcome { Ok, Failed, Trouble };

struct PreparedCall {
  const Method* method;
  QVariantList args;
};

QString shownValue(const QVariant& v, bool quoteText) {
  switch (v.metaType().id()) {
    case QMetaType::Bool:
      return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QString:
      return quoteText ? Quoted(v.toString()) : Shown(v.toString());
    default:
      return Shown(v.toString());
  }
}

// A negative number is a failure, except from GetLastErrorCode, whose result
// is the last error's code; false only from CUSTOM_CMD (the other booleans are
// status bits).
bool isFailure(const Method& m, const QVariant& result) {
  if (result.metaType().id() == QMetaType::Int)
    return result.toInt() < 0 && m.name != QLatin1String("GetLastErrorCode");
  if (result.metaType().id() == QMetaType::Bool) return m.name == QLatin1String("CUSTOM_CMD") && !result.toBool();
  return false;
}

// Calls the method and prints its result, its in-out values and, when it
// failed, the last error text.
Outcome callAndShow(Session& session, const PreparedCall& call) {
  const Method& m = *call.method;
  const QDBusMessage reply = session.Call(m.name, call.args);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    // A fault that no handler of the method turned into a result code.
    if (reply.errorName() == QLatin1String("ORBANTIS.Error.Failed")) {
      Out(m.name + QStringLiteral(" -> fault"));
      Out(QStringLiteral("  error: ") + Shown(reply.errorMessage()));
      return Outcome::Failed;
    }
    Err(Explain(reply, m.name));
    return Outcome::Trouble;
  }
  const QVariantList values = reply.arguments();
  int next = 0;
  bool failed = false;
  if (m.hasResult) {
    const QVariant result = values.value(next++);
    Out(m.name + QStringLiteral(" -> ") + shownValue(result, true));
    failed = isFailure(m, result);
  } else {
    Out(m.name + QStringLiteral(" -> done"));
  }
  for (const Param& p : m.outs) Out(QStringLiteral("  %1 = %2").arg(p.name, shownValue(values.value(next++), false)));
  if (!failed) return Outcome::Ok;
  const QDBusMessage text = session.Call(QStringLiteral("GetLastErrorMessage"));
  if (text.type() != QDBusMessage::ReplyMessage) {
    Err(Explain(text, QStringLiteral("GetLastErrorMessage")));
    return Outcome::Trouble;
  }
  const QString message = text.arguments().value(0).toString();
  // The text's own line breaks, as lines: the status texts come one per line.
  QStringList lines = message.split(QStringLiteral("\r\n"));
  while (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
  Out(QStringLiteral("  error: ") + (message.isEmpty() ? QStringLiteral("(no text)") : Shown(lines.front())));
  for (int i = 1; i < lines.size(); ++i) Out(QStringLiteral("         ") + Shown(lines[i]));
  // A command that failed while the printer holds a fiscal receipt open
  // (status byte 2, bit 3): say so, and how to get out of it.
  if (m.name.startsWith(QLatin1String("CMD_")) && m.name != QLatin1String("CMD_60_0_0")) {
    const QDBusMessage open = session.Call(QStringLiteral("GET_BIT_STATE"), {2, 3});
    if (open.type() == QDBusMessage::ReplyMessage && open.arguments().value(0).toBool())
      Out(QStringLiteral("  note: a fiscal receipt is still open on the printer: finish it (CMD_53_0_0 to pay, "
                         "CMD_56_0_0 to close) or cancel it with CMD_60_0_0."));
  }
  if (m.name == QLatin1String("CONNECT_TO_PRINTER")) {
    // Why the port or address could not be opened, and what to do.
    const QDBusMessage detail = session.Call(QStringLiteral("GetLastErrorDetail"));
    if (detail.type() == QDBusMessage::ReplyMessage && !detail.arguments().value(0).toString().isEmpty())
      Out(QStringLiteral("  detail: ") + detail.arguments().value(0).toString());
  }
  return Outcome::Failed;
}

// The initialisation call for --device, --com or --tcp.
bool prepareInit(const Options& o, const Interface& methods, PreparedCall* call, QString* error) {
  QString name;
  QVariantList args;
  switch (o.link) {
    case Link::Device:
      name = QStringLiteral("initFiscalPrinterDevice");
      args = {QVariant::fromValue(o.devicePath), QVariant::fromValue<qint32>(o.baud), true, true};
      break;
    case Link::ComPort:
      name = QStringLiteral("initFiscalPrinter");
      args = {QVariant::fromValue<qint32>(o.comPort), QVariant::fromValue<qint32>(o.baud), true, true};
      break;
    case Link::Tcp:
      name = QStringLiteral("INIT_MY_FP2");
      args = {QVariant::fromValue(o.tcpHost), QVariant::fromValue(o.tcpPort)};
      break;
    case Link::None:
      return false;
  }
  call->method = methods.Find(name);
  call->args = args;
  if (call->method == nullptr || call->method->name != name) {
    *error = QStringLiteral(
                 "orbantis-cli: the server has no method %1; it is older than orbantis-cli. Install both "
                 "from the same build.")
                 .arg(name);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- receipts

QString field(const QJsonObject& o, const char* name) {
  const QJsonValue v = o.value(QLatin1String(name));
  return v.isString() ? v.toString() : v.isDouble() ? QString::number(v.toInt()) : QString();
}

// The answer of printReceipt or getReceipt, for a person: what happened, and
// what to do when it was not printed.
void showReceiptAnswer(int code, const QString& answerJson) {
  const QJsonObject a = QJsonDocument::fromJson(answerJson.toUtf8()).object();
  const QString key = field(a, "key");
  const QString state = field(a, "state");
  if (code == 0) {
    const QJsonObject totals = a.value(QLatin1String("totals")).toObject();
    QString line = QStringLiteral("receipt %1 printed: number %2 (global %3) on %4, total %5, paid %6, change %7")
                       .arg(key, field(a, "receiptNumber"), field(a, "globalNumber"), field(a, "printer"),
                            field(totals, "subtotal"), field(a, "paid"), field(a, "change"));
    if (!field(a, "printerDateTime").isEmpty()) line += QStringLiteral(", at ") + field(a, "printerDateTime");
    Out(line);
    if (a.value(QLatin1String("repeated")).toBool())
      Out(QStringLiteral("  printed before under this key; it was not printed again"));
    if (a.value(QLatin1String("reconciled")).toBool()) Out(QStringLiteral("  ") + field(a, "message"));
  } else if (code == orbantis::receipts::RECEIPT_BAD_DOCUMENT) {
    Out(QStringLiteral("receipt refused; nothing was sent to the printer:"));
    for (const QJsonValue e : a.value(QLatin1String("errors")).toArray()) {
      const QJsonObject o = e.toObject();
      const QString path = field(o, "path").isEmpty() ? QStringLiteral("(the document)") : field(o, "path");
      const QString value = field(o, "value");
      Out(QStringLiteral("  %1%2: %3").arg(path, value.isEmpty() ? QString() : QStringLiteral(" = ") + value,
                                           field(o, "rule")));
    }
  } else {
    Out(QStringLiteral("receipt %1 %2 (%3): %4").arg(key, state, QString::number(code), field(a, "message")));
  }
}

int runJournal(const Options& o) {
  std::string path;
  try {
    path = orbantis::journal::Journal::DefaultPath();
  } catch (const std::exception& e) {
    Err(QStringLiteral("orbantis-cli: %1").arg(QString::fromUtf8(e.what())));
    return kExitTrouble;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    Err(QStringLiteral("orbantis-cli: there is no receipt journal at %1 yet; receipts printed with printReceipt "
                       "(orbantis-cli receipt) are recorded there.")
            .arg(QString::fromStdString(path)));
    return kExitFailed;
  }
  try {
    orbantis::journal::Journal journal(path);
    orbantis::receipts::ReceiptService service(journal);
    if (!o.journalKey.isEmpty()) {
      const auto outcome = service.Get(o.journalKey.toStdString());
      showReceiptAnswer(outcome.code, QString::fromStdString(outcome.json));
      Out(QString::fromUtf8(QJsonDocument::fromJson(QByteArray::fromStdString(outcome.json)).toJson()).trimmed());
      return outcome.code == orbantis::receipts::RECEIPT_NOT_FOUND ? kExitFailed : kExitOk;
    }
    const QString day = o.journalDay.isEmpty() ? QDate::currentDate().toString(Qt::ISODate) : o.journalDay;
    const QJsonObject list = QJsonDocument::fromJson(QByteArray::fromStdString(service.Day(day.toStdString()))).object();
    const QJsonArray receipts = list.value(QLatin1String("receipts")).toArray();
    Out(QStringLiteral("receipts of %1: %2").arg(day).arg(receipts.size()));
    for (const QJsonValue v : receipts) {
      const QJsonObject r = v.toObject();
      const QJsonObject totals = r.value(QLatin1String("totals")).toObject();
      Out(QStringLiteral("  %1  %2  number %3 (global %4)  total %5  accepted %6  attempt %7")
              .arg(field(r, "key"), field(r, "state"),
                   field(r, "receiptNumber").isEmpty() ? QStringLiteral("-") : field(r, "receiptNumber"),
                   field(r, "globalNumber").isEmpty() ? QStringLiteral("-") : field(r, "globalNumber"),
                   field(totals, "subtotal").isEmpty() ? QStringLiteral("-") : field(totals, "subtotal"),
                   field(r, "accepted"), field(r, "attempt")));
    }
    return kExitOk;
  } catch (const std::exception& e) {
    Err(QStringLiteral("orbantis-cli: the receipt journal cannot be read: %1").arg(QString::fromUtf8(e.what())));
    return kExitTrouble;
  }
}

// The document of "receipt FILE", or of standard input for "-".
bool readDocument(const QString& file, QString* text, QString* error) {
  QByteArray bytes;
  if (file == QLatin1String("-")) {
    std::string in((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    bytes = QByteArray::fromStdString(in);
  } else {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
      *error = QStringLiteral("cannot read %1: %2.").arg(file, f.errorString());
      return false;
    }
    bytes = f.readAll();
  }
  // Passed on as it is: the server checks it and names what is wrong.
  *text = QString::fromUtf8(bytes);
  return true;
}

}  // namespace

namespace {

int run() {
  Options options;
  QString error;
  if (!ParseCommandLine(QCoreApplication::arguments().mid(1), &options, &error)) return usageError(error);
  if (options.version) {
    const QString version = QStringLiteral(ORBANTIS_VERSION);
    Out(QStringLiteral("orbantis-cli ") + (version.isEmpty() ? QStringLiteral("(version unknown)") : version));
    return kExitOk;
  }
  if (options.help) return showHelp(options.helpFilter);
  if (options.task == Task::Journal) return runJournal(options);
  QString document;
  if (options.task == Task::Receipt && !readDocument(options.receiptFile, &document, &error))
    return usageError(error);

  QDBusConnection bus = sessionBus();
  if (!bus.isConnected()) {
    Err(ExplainNoBus(bus.lastError().message()));
    return kExitTrouble;
  }

  // The object, its events and its description.
  Session session(bus);
  QDBusMessage reply = session.Create();
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Err(Explain(reply,
                QStringLiteral("CreateObject on %1 %2").arg(QLatin1String(kBusName), QLatin1String(kClassPath))));
    return kExitTrouble;
  }
  EventPrinter events;
  if (!events.Listen(bus, session.Server(), session.Path(), &error)) {
    Err(QStringLiteral("orbantis-cli: warning: the object's events cannot be received (%1); they are not shown.")
            .arg(error));
  } else {
    reply = session.Advise();
    if (reply.type() != QDBusMessage::ReplyMessage)
      Err(QStringLiteral("orbantis-cli: warning: Advise failed (%1); the object's events are not shown.")
              .arg(reply.errorMessage()));
  }
  auto setProperty = [&](const QString& name, const QVariant& value) {
    QDBusMessage set = QDBusMessage::createMethodCall(session.Server(), session.Path(),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Set"));
    set << QLatin1String(kInterfaceName) << name << QVariant::fromValue(QDBusVariant(value));
    const QDBusMessage done = bus.call(set, QDBus::Block, 120000);
    if (done.type() == QDBusMessage::ReplyMessage) return true;
    Err(Explain(done, QStringLiteral("setting %1").arg(name)));
    session.Release();
    return false;
  };
  if (options.codePage != 0 &&
      !setProperty(QStringLiteral("codePage"), QVariant::fromValue<qint32>(options.codePage)))
    return kExitTrouble;
  if (options.replaceUnmappable && !setProperty(QStringLiteral("replaceUnmappable"), QVariant(true)))
    return kExitTrouble;
  reply = session.Introspect();
  Interface methods;
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Err(Explain(reply, QStringLiteral("Introspect on %1").arg(session.Path())));
    session.Release();
    return kExitTrouble;
  }
  if (!methods.Parse(reply.arguments().value(0).toString(), &error)) {
    Err(QStringLiteral("orbantis-cli: the object at %1 cannot be used: %2.\nIs the program owning %3 an ORBANTIS "
                       "server of the same version as orbantis-cli?")
            .arg(session.Path(), error, QLatin1String(kBusName)));
    session.Release();
    return kExitTrouble;
  }

  // Every call is checked before the first one runs.
  std::vector<PreparedCall> plan;
  if (options.link != Link::None) {
    PreparedCall init;
    if (!prepareInit(options, methods, &init, &error)) {
      Err(error);
      session.Release();
      return kExitTrouble;
    }
    plan.push_back(init);
  }
  if (options.connect) plan.push_back({methods.Find(QStringLiteral("CONNECT_TO_PRINTER")), {}});
  for (const CallRequest& request : options.calls) {
    const Method* m = methods.Find(request.method);
    if (m == nullptr) {
      QString text = QStringLiteral("unknown method \"%1\".").arg(request.method);
      if (request.method.startsWith(QLatin1Char('-'))) text += QStringLiteral(" Options go before the first method.");
      const QStringList similar = methods.Similar(request.method);
      if (!similar.isEmpty()) text += QStringLiteral(" Did you mean: ") + similar.join(QLatin1String(", ")) + '?';
      session.Release();
      return usageError(text);
    }
    PreparedCall call{m, {}};
    if (!BuildArguments(*m, request.args, &call.args, &error)) {
      session.Release();
      return usageError(error);
    }
    // The server's working folder is not the user's: a relative file name
    // is made absolute here.
    if ((m->name == QLatin1String("getLogoFromPrinter") || m->name == QLatin1String("saveLogoToPrinter")) &&
        !call.args.isEmpty() && !QDir::isAbsolutePath(call.args[0].toString()))
      call.args[0] = QDir::current().absoluteFilePath(call.args[0].toString());
    plan.push_back(call);
  }
  for (const PreparedCall& call : plan) {
    if (call.method == nullptr) {
      Err(
          QStringLiteral("orbantis-cli: the server has no method CONNECT_TO_PRINTER; it is not an ORBANTIS server of "
                         "the same version. Install both from the same build."));
      session.Release();
      return kExitTrouble;
    }
  }

  // The run: initialisation, connection, the user's methods.
  int status = kExitOk;
  std::size_t done = 0;
  for (; done < plan.size(); ++done) {
    const Outcome outcome = callAndShow(session, plan[done]);
    if (outcome == Outcome::Trouble) {
      for (std::size_t k = done + 1; k < plan.size(); ++k) Out(QStringLiteral("skipped ") + plan[k].method->name);
      session.ReleaseWithoutWaiting();
      return kExitTrouble;
    }
    if (outcome == Outcome::Failed) {
      status = kExitFailed;
      if (!options.keepGoing) {
        ++done;
        break;
      }
    }
  }
  if (done < plan.size()) {
    for (std::size_t k = done; k < plan.size(); ++k) Out(QStringLiteral("skipped ") + plan[k].method->name);
    Err(QStringLiteral("orbantis-cli: stopped after the failed call (--keep-going runs the rest anyway)."));
  } else if (options.task == Task::Status) {
    // A fresh status read, then every bit it set, with its text.
    const QDBusMessage read = session.Call(QStringLiteral("CMD_74_0_1"), {QString(), QString(), QString(), QString(),
                                                                           QString(), QString()});
    if (read.type() != QDBusMessage::ReplyMessage || read.arguments().value(0).toInt() != 0) {
      Out(QStringLiteral("status: the printer's status could not be read"));
      status = kExitFailed;
    } else {
      Out(QStringLiteral("status bytes: %1").arg(read.arguments().mid(1).size() == 6
                                                    ? [&] {
                                                        QStringList bytes;
                                                        for (const QVariant& v : read.arguments().mid(1))
                                                          bytes << v.toString();
                                                        return bytes.join(QLatin1Char(' '));
                                                      }()
                                                    : QString()));
      int set = 0;
      for (int byte = 0; byte < 6; ++byte) {
        for (int bit = 0; bit < 7; ++bit) {  // bit 7 of every byte is reserved
          const QDBusMessage state = session.Call(QStringLiteral("getBitState"), {byte, bit});
          if (state.type() != QDBusMessage::ReplyMessage || !state.arguments().value(0).toBool()) continue;
          const QString text = session.Call(QStringLiteral("getStatusDescription"), {byte, bit}).arguments().value(0).toString();
          if (text.isEmpty()) continue;  // a bit without a meaning (the reserved bit 7)
          Out(QStringLiteral("  byte %1 bit %2: %3").arg(byte).arg(bit).arg(text));
          ++set;
        }
      }
      if (set == 0) Out(QStringLiteral("  no status bit set"));
      const bool open = session.Call(QStringLiteral("getBitState"), {2, 3}).arguments().value(0).toBool();
      Out(open ? QStringLiteral("a fiscal receipt is open (finish it with CMD_53_0_0 and CMD_56_0_0, or cancel it "
                                "with CMD_60_0_0)")
               : QStringLiteral("no fiscal receipt is open"));
    }
  } else if (options.task == Task::Receipt) {
    const QDBusMessage printed = session.Call(QStringLiteral("printReceipt"), {document, QString()});
    if (printed.type() != QDBusMessage::ReplyMessage) {
      Err(Explain(printed, QStringLiteral("printReceipt")));
      session.ReleaseWithoutWaiting();
      return kExitTrouble;
    }
    const int code = printed.arguments().value(0).toInt();
    showReceiptAnswer(code, printed.arguments().value(1).toString());
    if (code != 0) status = kExitFailed;
  }

  // The end: close the printer connection and release the object.
  if (!options.keepOpen) {
    const Method* close = methods.Find(QStringLiteral("CLOSE_CONNECTION"));
    if (close != nullptr) {
      const Outcome outcome = callAndShow(session, {close, {}});
      if (outcome == Outcome::Trouble) {
        session.ReleaseWithoutWaiting();
        return kExitTrouble;
      }
      if (outcome == Outcome::Failed) status = kExitFailed;
    }
  }
  reply = session.Release();
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Err(Explain(reply, QStringLiteral("Release")));
    return kExitTrouble;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orbantis-cli"));
  leave(run());
}
