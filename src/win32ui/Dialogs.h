// The server's standard message boxes on Windows: a warning, an information
// and a yes/no question, each with a default owner window and a default
// caption, and the question asked before the server is closed by hand while
// clients still hold objects.
//
// Every box goes through a MessageBoxFunction, MessageBoxW unless another is
// installed (tests answer for the user and look at what would be shown).
// MessageBoxW runs its own loop on the calling thread, so any thread may ask.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace orbantis::win32ui {

// Shows a box as MessageBoxW does (owner, text, caption, MB_* flags) and
// returns the IDxxx of the button that closed it, 0 when none was shown.
using MessageBoxFunction =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)>;

enum class TMyDialogTypes : std::uint8_t {
  qstn_YesNo_FBtn = 0,  // Yes and No, Yes is the default
  qstn_YesNo_SBtn = 1,  // Yes and No, No is the default
  inf_OkBtn = 2,        // OK only
};

class TMyDialogs {
 public:
  // The answers of MyQuestion, the values clients and old callers compare with.
  static constexpr std::int32_t kIdYes = IDYES;  // 6
  static constexpr std::int32_t kIdNo = IDNO;    // 7

  explicit TMyDialogs(HWND myHandle = nullptr, std::wstring myCaption = {});

  const std::wstring& MyCaption() const { return FMyCaption; }
  void SetMyCaption(const std::wstring& caption) { FMyCaption = caption; }
  HWND MyHandle() const { return FMyHandle; }
  void SetMyHandle(HWND owner) { FMyHandle = owner; }
  // An empty function restores MessageBoxW.
  void SetPresenter(MessageBoxFunction presenter);

  // TRGT_HANDLE: owner window, nullptr for MyHandle(). MsgCaption: empty for
  // MyCaption().
  //
  // MyAlert and MyInformation show a box (warning or information icon, OK
  // button) only for inf_OkBtn. MyQuestion shows a question box with Yes and
  // No for the two question types and returns kIdYes or kIdNo; for inf_OkBtn
  // it shows nothing and returns kIdNo, as it does when nothing was shown.
  //
  // A box that cannot be shown raises Exception with the operation's prefix
  // before its text ("MyDialogs.MyAlert: ", "MyDialogs.MyInformation: ",
  // "MyDialogs.MyQuestion: ").
  void MyAlert(HWND TRGT_HANDLE, const std::wstring& MsgText, const std::wstring& MsgCaption, TMyDialogTypes MsgType);
  void MyInformation(HWND TRGT_HANDLE, const std::wstring& MsgText, const std::wstring& MsgCaption,
                     TMyDialogTypes MsgType);
  std::int32_t MyQuestion(HWND TRGT_HANDLE, const std::wstring& MsgText, const std::wstring& MsgCaption,
                          TMyDialogTypes MsgType);

 private:
  int present(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

  std::wstring FMyCaption;
  HWND FMyHandle = nullptr;
  MessageBoxFunction FPresenter;
};

// The process's one shared instance, made by the server window on creation;
// nullptr before that.
TMyDialogs* MyDialogs();
// Makes the shared instance on the first call, with owner and caption as its
// defaults; later calls return it unchanged.
TMyDialogs& CreateMyDialogs(HWND owner, const std::wstring& caption);

// The question before a manual close while clients hold objects.
extern const wchar_t kActiveObjectsCaption[];   // "COM Server Warning"
extern const wchar_t kActiveObjectsQuestion[];  // "There are still active COM objects ..."
// Task-modal, warning icon, Yes and No, No the default.
inline constexpr UINT kActiveObjectsBoxType = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_TASKMODAL;

// Asks kActiveObjectsQuestion; true only when the user answers Yes. No is the
// default, so Enter keeps the server and its clients' objects alive.
bool AskCloseWithActiveObjects(HWND owner);
bool AskCloseWithActiveObjects(HWND owner, const MessageBoxFunction& show);

}  // namespace orbantis::win32ui
