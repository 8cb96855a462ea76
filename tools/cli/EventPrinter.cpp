#include "EventPrinter.h"

#include <QDBusError>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

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
  // A logo transfer reports every one of its 98 rows: one line for all of
  // them, and on a terminal a bar that moves.
  ++FSteps;
  FLastValue = currentValue;
  FLastMessage = progressMessage;
  if (::isatty(STDOUT_FILENO) == 1) {
    const int done = std::clamp(currentValue, 0, 98) * 30 / 98;
    std::printf("\r  [%s%s] %3d %s", std::string(static_cast<std::size_t>(done), '#').c_str(),
                std::string(static_cast<std::size_t>(30 - done), '.').c_str(), currentValue,
                Shown(progressMessage).left(30).toLocal8Bit().constData());
    std::fflush(stdout);
    FBarShown = true;
  }
}

void EventPrinter::onStartProgress() {
  FSteps = 0;
  Out(QStringLiteral("event OnStartProgress"));
}

void EventPrinter::onEndProgress() {
  if (FBarShown) std::printf("\n");
  FBarShown = false;
  if (FSteps > 0)
    Out(QStringLiteral("event OnProgress: %1 steps, the last %2 %3").arg(FSteps).arg(FLastValue).arg(Quoted(FLastMessage)));
  FSteps = 0;
  Out(QStringLiteral("event OnEndProgress"));
}

}  // namespace orbantis::cli
