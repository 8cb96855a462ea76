// Prints the events of one automation object as they arrive:
//   event ON_ERROR -5 "text"
//   event OnStartProgress
//   event OnProgress: 98 steps, the last 98 "text"   (one line for a whole
//                                                     transfer; on a terminal a
//                                                     bar moves while it runs)
//   event OnEndProgress
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace orbantis::cli {

class EventPrinter : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // Receives the ORBANTIS.IKELMORAEvents signals that the server process
  // (its unique bus name) sends from the object's path. False, with the bus's
  // reason, when the bus refused.
  bool Listen(QDBusConnection bus, const QString& server, const QString& path, QString* error);

 public Q_SLOTS:
  void onError(int lastErrorCode, const QString& lastErrorMessage);
  void onProgress(int currentValue, const QString& progressMessage);
  void onStartProgress();
  void onEndProgress();

 private:
  int FSteps = 0;
  int FLastValue = 0;
  QString FLastMessage;
  bool FBarShown = false;
};

}  // namespace orbantis::cli
