#include "uLogo/LogoForms.h"

#include <QApplication>
#include <QGuiApplication>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "foundation/CodePage.h"
#include "uLogo/LogoPicture.h"
#include "uLogo/TLogoForm.h"
#include "uORBANTIS/LogoTransfer.h"

namespace orbantis::logo {

struct LogoForms::State {
  std::mutex lock;
  std::condition_variable changed;
  bool quitting = false;  // the main loop has ended: nothing will be shown any more
  std::atomic<bool> showWithoutDisplay {false};
  // GUI thread only.
  bool formOpen = false;
  QPointer<QWidget> owner;
  QMetaObject::Connection quitConnection;
};

namespace {

// One showLogoForm waiting for the main thread.
struct PendingCall {
  enum class Stage { Queued, Running, Done, Abandoned };
  Stage stage = Stage::Queued;
};

}  // namespace

LogoForms::LogoForms(QWidget* owner) : FState(std::make_shared<State>()) {
  FState->owner = owner;
  if (QCoreApplication* app = QCoreApplication::instance()) {
    // After the main loop ends nobody takes a queued call any more; a worker
    // waiting for one would hold up the end of the process for good.
    std::weak_ptr<State> weak = FState;
    FState->quitConnection = QObject::connect(app, &QCoreApplication::aboutToQuit, app, [weak] {
      if (auto state = weak.lock()) {
        std::lock_guard<std::mutex> guard(state->lock);
        state->quitting = true;
        state->changed.notify_all();
      }
    });
  }
}

LogoForms::~LogoForms() { QObject::disconnect(FState->quitConnection); }

void LogoForms::SetOwner(QWidget* owner) { FState->owner = owner; }

void LogoForms::SetShowWithoutDisplay(bool on) { FState->showWithoutDisplay = on; }

void LogoForms::ShowLogoForm(TKELMORA& object, bool stayOnTop) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app == nullptr) return;
  if (!FState->showWithoutDisplay && QGuiApplication::platformName() == QLatin1String("offscreen")) return;

  std::shared_ptr<State> state = FState;
  {
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->quitting) return;
  }
  TKELMORA* target = &object;
  auto show = [state, target, stayOnTop] {
    if (state->formOpen) return;
    state->formOpen = true;
    {
      TfmSetGetLogo form(state->owner);
      form.setTmpDORRIK(target->printer());
      form.setMyComServerInstance(target);
      form.toStayOnTop = stayOnTop;
      form.exec();
    }
    state->formOpen = false;
  };

  if (QThread::currentThread() == app->thread()) {
    show();
    return;
  }

  // As a blocking queued call, but one that gives up when the main loop has
  // ended before taking it.
  auto call = std::make_shared<PendingCall>();
  QMetaObject::invokeMethod(
      app,
      [state, call, show] {
        {
          std::lock_guard<std::mutex> guard(state->lock);
          if (call->stage != PendingCall::Stage::Queued) return;
          call->stage = PendingCall::Stage::Running;
        }
        try {
          show();
        } catch (...) {
        }
        std::lock_guard<std::mutex> guard(state->lock);
        call->stage = PendingCall::Stage::Done;
        state->changed.notify_all();
      },
      Qt::QueuedConnection);

  std::unique_lock<std::mutex> guard(state->lock);
  // A form that is open keeps the printer in use: wait for it to close even
  // when the application is ending (its modal loop ends with the main loop).
  state->changed.wait(guard, [&] {
    return call->stage == PendingCall::Stage::Done ||
           (state->quitting && call->stage == PendingCall::Stage::Queued);
  });
  if (call->stage == PendingCall::Stage::Queued) call->stage = PendingCall::Stage::Abandoned;
}

std::int32_t LogoForms::GetLogoFromPrinterToFile(TKELMORA& object, const WideString& fileName,
                                                 const std::string& folder) {
  QtPictureFiles files;
  LogoTransfer transfer(files, object.printer(), &object);
  transfer.setLogoFileName(WideToUtf8(fileName));
  transfer.setTargetFolder(folder);
  return transfer.getLogoFromPrinterToFile();
}

std::int32_t LogoForms::SaveLogoFromFileToPrinter(TKELMORA& object, const WideString& fileName,
                                                  const std::string& folder) {
  QtPictureFiles files;
  LogoTransfer transfer(files, object.printer(), &object);
  transfer.setLogoFileName(WideToUtf8(fileName));
  transfer.setTargetFolder(folder);
  return transfer.saveLogoFromFileToPrinter();
}

}  // namespace orbantis::logo
