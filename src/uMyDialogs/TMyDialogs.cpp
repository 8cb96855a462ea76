#include "uMyDialogs/TMyDialogs.h"

#include <QApplication>
#include <QGuiApplication>
#include <QThread>
#include <memory>
#include <mutex>
#include <string>

#include "foundation/Strings.h"

namespace orbantis::ui {
namespace {

// Runs body; a fault inside comes out as Exception(prefix + its text), so a
// caller's log says which box failed.
template <class Body>
auto withFaultPrefix(const char* prefix, Body body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    throw Exception(std::string(prefix) + e.what());
  } catch (...) {
    throw Exception(std::string(prefix) + "unknown fault");
  }
}

struct SharedDialogs {
  std::mutex lock;
  std::unique_ptr<TMyDialogs> instance;
};

SharedDialogs& shared() {
  static SharedDialogs state;
  return state;
}

}  // namespace

bool HasDisplay() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

MessagePresenter DefaultMessagePresenter() {
  return [](QMessageBox& box) {
    if (!HasDisplay()) return QMessageBox::NoButton;
    return static_cast<QMessageBox::StandardButton>(box.exec());
  };
}

TMyDialogs::TMyDialogs(QWidget* myHandle, const QString& myCaption)
    : FMyCaption(myCaption), FMyHandle(myHandle), FPresenter(DefaultMessagePresenter()) {}

void TMyDialogs::SetPresenter(MessagePresenter presenter) {
  FPresenter = presenter ? std::move(presenter) : DefaultMessagePresenter();
}

QMessageBox::StandardButton TMyDialogs::present(QWidget* owner, const QString& text, const QString& caption,
                                                QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app == nullptr) throw Exception("message boxes need a widget application");
  // Widgets live on the main thread; a box built on a worker would crash
  // the process instead of failing the one call.
  if (QThread::currentThread() != app->thread()) throw Exception("message boxes are shown on the main thread only");
  QMessageBox box(icon, caption.isEmpty() ? FMyCaption : caption, text, buttons,
                  owner != nullptr ? owner : FMyHandle.data());
  // Texts come from clients and printers: show them as they are.
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(defaultButton);
  return FPresenter(box);
}

void TMyDialogs::MyAlert(QWidget* TRGT_HANDLE, const QString& MsgText, const QString& MsgCaption,
                         TMyDialogTypes MsgType) {
  withFaultPrefix("MyDialogs.MyAlert: ", [&] {
    if (MsgType != TMyDialogTypes::inf_OkBtn) return;
    present(TRGT_HANDLE, MsgText, MsgCaption, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok);
  });
}

void TMyDialogs::MyInformation(QWidget* TRGT_HANDLE, const QString& MsgText, const QString& MsgCaption,
                               TMyDialogTypes MsgType) {
  withFaultPrefix("MyDialogs.MyInformation: ", [&] {
    if (MsgType != TMyDialogTypes::inf_OkBtn) return;
    present(TRGT_HANDLE, MsgText, MsgCaption, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
  });
}

std::int32_t TMyDialogs::MyQuestion(QWidget* TRGT_HANDLE, const QString& MsgText, const QString& MsgCaption,
                                    TMyDialogTypes MsgType) {
  return withFaultPrefix("MyDialogs.MyQuestion: ", [&]() -> std::int32_t {
    if (MsgType == TMyDialogTypes::inf_OkBtn) return kIdNo;
    const auto defaultButton = MsgType == TMyDialogTypes::qstn_YesNo_FBtn ? QMessageBox::Yes : QMessageBox::No;
    const auto answer = present(TRGT_HANDLE, MsgText, MsgCaption, QMessageBox::Question,
                                QMessageBox::Yes | QMessageBox::No, defaultButton);
    // Anything but Yes (a box not shown included) keeps the safe answer.
    return answer == QMessageBox::Yes ? kIdYes : kIdNo;
  });
}

TMyDialogs* MyDialogs() {
  auto& state = shared();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.instance.get();
}

TMyDialogs& CreateMyDialogs(QWidget* owner, const QString& caption) {
  auto& state = shared();
  std::lock_guard<std::mutex> guard(state.lock);
  if (!state.instance) state.instance = std::make_unique<TMyDialogs>(owner, caption);
  return *state.instance;
}

}  // namespace orbantis::ui
