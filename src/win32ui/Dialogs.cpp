#include "win32ui/Dialogs.h"

#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "foundation/Strings.h"
#include "win32ui/WinStrings.h"

namespace orbantis::win32ui {
namespace {

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

// Runs body; a fault inside comes out as Exception(prefix + its text), so a
// caller's log says which box failed.
template <class Body>
auto WithFaultPrefix(const char* prefix, Body body) -> decltype(body()) {
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

SharedDialogs& Shared() {
  static SharedDialogs state;
  return state;
}

}  // namespace

// Kept word for word, the two blanks after the first sentence included:
// operators and support staff know this question by its text.
const wchar_t kActiveObjectsCaption[] = L"COM Server Warning";
const wchar_t kActiveObjectsQuestion[] =
    L"There are still active COM objects in this application.  One or more clients may have references to these "
    L"objects, so manually closing this application may cause those client application(s) to fail.\r\n\r\n"
    L"Are you sure you want to close this application?";

TMyDialogs::TMyDialogs(HWND myHandle, std::wstring myCaption)
    : FMyCaption(std::move(myCaption)), FMyHandle(myHandle), FPresenter(ShowMessageBox) {}

void TMyDialogs::SetPresenter(MessageBoxFunction presenter) {
  FPresenter = presenter ? std::move(presenter) : MessageBoxFunction(ShowMessageBox);
}

int TMyDialogs::present(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  SetLastError(ERROR_SUCCESS);
  const int answer = FPresenter(owner != nullptr ? owner : FMyHandle, text, caption.empty() ? FMyCaption : caption,
                                type);
  // 0 is MessageBoxW's failure (no memory, a destroyed owner, a closing
  // desktop): the caller must not read it as the user's No.
  if (answer == 0 && GetLastError() != ERROR_SUCCESS)
    throw Exception("the message box could not be shown: " + WinToUtf8(LastErrorMessage()));
  return answer;
}

void TMyDialogs::MyAlert(HWND TRGT_HANDLE, const std::wstring& MsgText, const std::wstring& MsgCaption,
                         TMyDialogTypes MsgType) {
  WithFaultPrefix("MyDialogs.MyAlert: ", [&] {
    if (MsgType != TMyDialogTypes::inf_OkBtn) return;
    present(TRGT_HANDLE, MsgText, MsgCaption, MB_OK | MB_ICONWARNING);
  });
}

void TMyDialogs::MyInformation(HWND TRGT_HANDLE, const std::wstring& MsgText, const std::wstring& MsgCaption,
                               TMyDialogTypes MsgType) {
  WithFaultPrefix("MyDialogs.MyInformation: ", [&] {
    if (MsgType != TMyDialogTypes::inf_OkBtn) return;
    present(TRGT_HANDLE, MsgText, MsgCaption, MB_OK | MB_ICONINFORMATION);
  });
}

std::int32_t TMyDialogs::MyQuestion(HWND TRGT_HANDLE, const std::wstring& MsgText, const std::wstring& MsgCaption,
                                    TMyDialogTypes MsgType) {
  return WithFaultPrefix("MyDialogs.MyQuestion: ", [&]() -> std::int32_t {
    if (MsgType == TMyDialogTypes::inf_OkBtn) return kIdNo;
    const UINT defaultButton = MsgType == TMyDialogTypes::qstn_YesNo_FBtn ? MB_DEFBUTTON1 : MB_DEFBUTTON2;
    const int answer = present(TRGT_HANDLE, MsgText, MsgCaption, MB_YESNO | MB_ICONQUESTION | defaultButton);
    // Anything but Yes keeps the safe answer.
    return answer == IDYES ? kIdYes : kIdNo;
  });
}

TMyDialogs* MyDialogs() {
  auto& state = Shared();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.instance.get();
}

TMyDialogs& CreateMyDialogs(HWND owner, const std::wstring& caption) {
  auto& state = Shared();
  std::lock_guard<std::mutex> guard(state.lock);
  if (!state.instance) state.instance = std::make_unique<TMyDialogs>(owner, caption);
  return *state.instance;
}

bool AskCloseWithActiveObjects(HWND owner) { return AskCloseWithActiveObjects(owner, ShowMessageBox); }

bool AskCloseWithActiveObjects(HWND owner, const MessageBoxFunction& show) {
  const MessageBoxFunction& box = show ? show : MessageBoxFunction(ShowMessageBox);
  return box(owner, kActiveObjectsQuestion, kActiveObjectsCaption, kActiveObjectsBoxType) == IDYES;
}

}  // namespace orbantis::win32ui
