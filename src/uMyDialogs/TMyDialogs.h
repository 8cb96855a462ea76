// The server's standard message boxes: a warning, an information and a
// yes/no question, each with a default owner window and a default caption.
//
// Every box is built here and handed to a presenter that runs it. The default
// presenter runs the box modally, but only where a user can see it: on Qt's
// offscreen platform (no display) it shows nothing and reports
// QMessageBox::NoButton, so a server without a display never blocks on a box
// nobody can answer. Tests install a presenter that inspects the box and
// answers for the user.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace orbantis::ui {

// Runs a fully built message box and returns the button that closed it,
// QMessageBox::NoButton when it was not shown.
using MessagePresenter = std::function<QMessageBox::StandardButton(QMessageBox& box)>;

// True when windows can be seen: a widget application on a platform other
// than Qt's offscreen (or minimal) one.
bool HasDisplay();

// The presenter used unless another is installed: QMessageBox::exec() when
// HasDisplay(), otherwise nothing is shown.
MessagePresenter DefaultMessagePresenter();

enum class TMyDialogTypes : std::uint8_t {
  qstn_YesNo_FBtn = 0,  // Yes and No, Yes is the default
  qstn_YesNo_SBtn = 1,  // Yes and No, No is the default
  inf_OkBtn = 2,        // OK only
};

class TMyDialogs {
 public:
  // The answers of MyQuestion, the values clients and old callers compare with.
  static constexpr std::int32_t kIdYes = 6;
  static constexpr std::int32_t kIdNo = 7;

  explicit TMyDialogs(QWidget* myHandle = nullptr, const QString& myCaption = {});

  const QString& MyCaption() const { return FMyCaption; }
  void SetMyCaption(const QString& caption) { FMyCaption = caption; }
  QWidget* MyHandle() const { return FMyHandle; }
  void SetMyHandle(QWidget* owner) { FMyHandle = owner; }

  // An empty presenter restores DefaultMessagePresenter().
  void SetPresenter(MessagePresenter presenter);

  // TRGT_HANDLE: owner window, nullptr for MyHandle(). MsgCaption: empty for
  // MyCaption(). The texts are shown as plain text, never as markup.
  //
  // MyAlert and MyInformation show a box (warning or information icon, OK
  // button) only for inf_OkBtn. MyQuestion shows a question box with Yes and
  // No for the two question types and returns kIdYes or kIdNo; for inf_OkBtn
  // it shows nothing and returns kIdNo, as it does when nothing was shown.
  //
  // A fault raises Exception with the operation's prefix before its text
  // ("MyDialogs.MyAlert: ", "MyDialogs.MyInformation: ",
  // "MyDialogs.MyQuestion: "). Boxes are widgets, so a call from any thread
  // but the application's main thread is such a fault.
  void MyAlert(QWidget* TRGT_HANDLE, const QString& MsgText, const QString& MsgCaption, TMyDialogTypes MsgType);
  void MyInformation(QWidget* TRGT_HANDLE, const QString& MsgText, const QString& MsgCaption, TMyDialogTypes MsgType);
  std::int32_t MyQuestion(QWidget* TRGT_HANDLE, const QString& MsgText, const QString& MsgCaption,
                          TMyDialogTypes MsgType);

 private:
  QMessageBox::StandardButton present(QWidget* owner, const QString& text, const QString& caption,
                                      QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton);

  QString FMyCaption;
  QPointer<QWidget> FMyHandle;
  MessagePresenter FPresenter;
};

// The process's one shared instance, made by the server window's start-up
// set-up together with the diagnostic logs; nullptr before that.
TMyDialogs* MyDialogs();

// Makes the shared instance on the first call, with owner and caption as its
// defaults; later calls return it unchanged.
TMyDialogs& CreateMyDialogs(QWidget* owner, const QString& caption);

}  // namespace orbantis::ui
