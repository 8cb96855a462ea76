#include "EventPrinter.h"

#include <QDBusError>

#include "Session.h"
#include "Text.h"

namespace orbantis::cli {

bool EventPrinter::Listen(QDBusConnection bus, const QString& server, const QString& path, QString* error) {
  const QString events = QLatin1String(kEventsInterface);
  const struct {
    const char* signal;
    const char* slot;
  } hooks[] = {
      {"ON_ERROR", SLOT(onError(int, QString))},
      {"OnProgress", SLOT(onProgress(int, QString))},
      {"OnStartProgress", SLOT(onStartProgress())},
      {"OnEndProgress", SLOT(onEndProgress())},
  };
  for (const auto& hook : hooks) {
    if (!bus.connect(server, path, events, QLatin1String(hook.signal), this, hook.slot)) {
      if (error) *error = bus.lastError().message();
      return false;
    }
  }
  return true;
}

void EventPrinter::onError(int lastErrorCode, const QString& lastErrorMessage) {
  Out(QStringLiteral("event ON_ERROR %1 %2").arg(lastErrorCode).arg(Quoted(lastErrorMessage)));
}

void EventPrinter::onProgress(int currentValue, const QString& progressMessage) {
  Out(QStringLiteral("event OnProgress %1 %2").arg(currentValue).arg(Quoted(progressMessage)));
}

void EventPrinter::onStartProgress() { Out(QStringLiteral("event OnStartProgress")); }

void EventPrinter::onEndProgress() { Out(QStringLiteral("event OnEndProgress")); }

}  // namespace orbantis::cli
