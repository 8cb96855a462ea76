// print_receipt: print a fiscal receipt through the ORBANTIS automation server
// with Qt D-Bus.
//
// Usage: print_receipt DEVICE [BAUD]
//
// DEVICE is the printer's serial device (e.g. /dev/ttyUSB0, or the path that
// `orbantis-emulator --pty --link PATH` made); BAUD defaults to 115200.
//
// It asks the server on the D-Bus session bus for an automation object,
// becomes its event sink and prints every ON_ERROR event, connects the object
// to the printer, prints a receipt with two sales, then closes the connection
// and releases the object. It prints every result with the answers that came
// back, and the last error text after a negative result.
//
// Exit status: 0 when every call succeeded, 1 when a call returned a negative
// result, 2 on a usage error or when the bus or the server failed.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const QString kBusName = QStringLiteral("ORBANTIS.KELMORA");
const QString kClassPath = QStringLiteral("/ORBANTIS/KELMORA");
const QString kClassInterface = QStringLiteral("ORBANTIS.KELMORA");
const QString kInterface = QStringLiteral("ORBANTIS.IKELMORA");
const QString kEvents = QStringLiteral("ORBANTIS.IKELMORAEvents");
const QString kAutomation = QStringLiteral("ORBANTIS.Automation");

// Per call. A silent printer makes CONNECT_TO_PRINTER last about 20 s and a
// command about 6.5 s; a logo transfer takes much longer.
constexpr int kTimeoutMs = 120 * 1000;

void out(const QString& line) {
  std::printf("%s\n", qUtf8Printable(line));
  std::fflush(stdout);
}

// The bus or the server failed a call: no result code came back.
struct BusTrouble : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One step of the receipt: method, value parameters, names of the answer
// (in-out) parameters. Every parameter of a command method is a string.
struct Step {
  QString method;
  QStringList values;
  QStringList answers;
};

const std::vector<Step>& Receipt() {
  static const std::vector<Step> steps = {
      // Open a fiscal receipt: operator 1, password 0000, till 1.
      {QStringLiteral("CMD_48_0_0"), {"1", "0000", "1"}, {"RecCnt", "GlobRecCnt"}},
      // A sale in tax group B at 1.10, without text.
      {QStringLiteral("CMD_49_0_0"), {"B", "1.10"}, {}},
      // A sale with two text lines: 2 cups at 2.40 in tax group A.
      {QStringLiteral("CMD_49_0_9"), {"Espresso", "double", "A", "2.40", "2", "cup"}, {}},
      // Subtotal: print it (1), do not show it on the display (0).
      {QStringLiteral("CMD_51_0_0"), {"1", "0"}, {"SubTotal", "TaxA", "TaxB", "TaxC", "TaxD", "TaxE", "TaxF"}},
      // Payment in cash (P) of 10.00.
      {QStringLiteral("CMD_53_0_0"), {"P", "10.00"}, {"PaidCode", "Amount_Out"}},
      // Close the receipt.
      {QStringLiteral("CMD_56_0_0"), {}, {"RecCnt", "GlobRecCnt"}},
  };
  return steps;
}

}  // namespace

// Receives the object's events. They are signals sent to the sink's
// connection only, so they arrive after Advise.
class EventSink : public QObject {
  Q_OBJECT

 public slots:
  void onError(int lastErrorCode, const QString& lastErrorMessage) {
    out(QStringLiteral("event ON_ERROR %1 %2").arg(QString::number(lastErrorCode), lastErrorMessage));
  }
};

namespace {

// One automation object of the server.
class Kelmora {
 public:
  explicit Kelmora(QDBusConnection bus) : FBus(bus) {}

  QString Create() {
    QDBusMessage reply;
    try {
      reply = call(kBusName, kClassPath, kClassInterface, QStringLiteral("CreateObject"), {});
    } catch (const BusTrouble& trouble) {
      // The call reached a server as it handed its name to a new one: the
      // new one answers it.
      if (std::string(trouble.what()).find("ORBANTIS.Error.ServerEnding") == std::string::npos) throw;
      reply = call(kBusName, kClassPath, kClassInterface, QStringLiteral("CreateObject"), {});
    }
    const QVariant path = reply.arguments().value(0);
    if (path.userType() != qMetaTypeId<QDBusObjectPath>())
      throw BusTrouble("CreateObject did not answer with an object path");
    FPath = path.value<QDBusObjectPath>().path();
    // The later calls go to the process that made the object (its unique
    // name), not to whichever process owns the bus name by then.
    FServer = reply.service().isEmpty() ? kBusName : reply.service();
    return FPath;
  }

  uint Advise(EventSink* sink) {
    if (!FBus.connect(FServer, FPath, kEvents, QStringLiteral("ON_ERROR"), sink,
                      SLOT(onError(int, QString))))
      throw BusTrouble("cannot receive ON_ERROR: " + FBus.lastError().message().toStdString());
    FSink = sink;
    return call(FServer, FPath, kAutomation, QStringLiteral("Advise"), {}).arguments().value(0).toUInt();
  }

  QVariantList Call(const QString& method, const QVariantList& args = {}) {
    return call(FServer, FPath, kInterface, method, args).arguments();
  }

  void Release() {
    if (FPath.isEmpty()) return;
    const QString path = FPath;
    FPath.clear();
    if (FSink != nullptr) {
      FBus.disconnect(FServer, path, kEvents, QStringLiteral("ON_ERROR"), FSink, SLOT(onError(int, QString)));
      FSink = nullptr;
    }
    call(FServer, path, kAutomation, QStringLiteral("Release"), {});
  }

 private:
  // The call waits in an event loop, so that the events the server sends
  // during a call (they come before its reply) reach the sink in order.
  QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                    const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = FBus.asyncCall(message, kTimeoutMs);
    QDBusPendingCallWatcher watcher(pending);
    if (!watcher.isFinished()) {
      QEventLoop loop;
      QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
      loop.exec();
    }
    QCoreApplication::processEvents();  // events that came just before the reply
    const QDBusMessage reply = pending.reply();
    if (reply.type() != QDBusMessage::ReplyMessage)
      throw BusTrouble((method + QStringLiteral(" failed: ") + reply.errorName() + QStringLiteral(": ") +
                        reply.errorMessage())
                           .toStdString());
    return reply;
  }

  QDBusConnection FBus;
  QString FServer;
  QString FPath;
  EventSink* FSink = nullptr;
};

void showFailure(Kelmora& printer) {
  const QString text = printer.Call(QStringLiteral("GetLastErrorMessage")).value(0).toString();
  out(QStringLiteral("  error: ") + (text.isEmpty() ? QStringLiteral("(no text)") : text));
}

// A method that returns only a result code; true when it is >= 0.
bool runMethod(Kelmora& printer, const QString& method, const QVariantList& args = {}) {
  const int result = printer.Call(method, args).value(0).toInt();
  out(QStringLiteral("%1 -> %2").arg(method).arg(result));
  if (result >= 0) return true;
  showFailure(printer);
  return false;
}

// A printer command: its values, then one in-out string per answer, all of
// them strings; the reply is the result, then the answers.
bool runCommand(Kelmora& printer, const Step& step) {
  QVariantList args;
  for (const QString& value : step.values) args << value;
  for (qsizetype i = 0; i < step.answers.size(); ++i) args << QString();
  const QVariantList reply = printer.Call(step.method, args);
  const int result = reply.value(0).toInt();
  out(QStringLiteral("%1 -> %2").arg(step.method).arg(result));
  for (qsizetype i = 0; i < step.answers.size(); ++i)
    out(QStringLiteral("  %1 = %2").arg(step.answers[i], reply.value(i + 1).toString()));
  if (result >= 0) return true;
  showFailure(printer);
  return false;
}

int run(const QStringList& argv) {
  if (argv.size() < 2 || argv.size() > 3 || argv[1] == QLatin1String("-h") || argv[1] == QLatin1String("--help")) {
    std::fputs("Usage: print_receipt DEVICE [BAUD]\n", stderr);
    return 2;
  }
  const QString device = argv[1];
  bool ok = true;
  const int baud = argv.size() == 3 ? argv[2].toInt(&ok) : 115200;
  if (!ok || baud <= 0) {
    std::fprintf(stderr, "print_receipt: BAUD must be a number, not '%s'\n", qUtf8Printable(argv[2]));
    return 2;
  }

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fprintf(stderr, "print_receipt: no session bus: %s\n", qUtf8Printable(bus.lastError().message()));
    return 2;
  }

  Kelmora printer(bus);
  EventSink sink;
  int status = 0;
  try {
    out(QStringLiteral("object ") + printer.Create());
    out(QStringLiteral("sink cookie %1").arg(printer.Advise(&sink)));

    if (!runMethod(printer, QStringLiteral("initFiscalPrinterDevice"),
                   {device, QVariant::fromValue<qint32>(baud), true, true})) {
      status = 1;
    } else if (!runMethod(printer, QStringLiteral("CONNECT_TO_PRINTER"))) {
      status = 1;
    } else {
      for (const Step& step : Receipt()) {
        if (!runCommand(printer, step)) {
          status = 1;  // the rest of the receipt is not sent after a refused step
          break;
        }
      }
      if (!runMethod(printer, QStringLiteral("CLOSE_CONNECTION"))) status = 1;
    }

    printer.Release();
    out(QStringLiteral("released"));
  } catch (const BusTrouble& e) {
    std::fprintf(stderr, "print_receipt: %s\n", e.what());
    try {
      printer.Release();
    } catch (const BusTrouble&) {
      // The server releases the object when this program leaves the bus.
    }
    return 2;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return run(QCoreApplication::arguments());
}

#include "print_receipt.moc"
