// Shell calls in a single-threaded apartment.
//
// The common file dialogs and ShellExecute load shell extensions that expect
// a single-threaded apartment. The server's user-interface thread may be in
// the multithreaded one (that is the server's choice, not this folder's),
// so such calls go through CallInSta.
#pragma once

#include <functional>

namespace orbantis::win32ui {

// Runs fn and returns when it has run; rethrows what fn throws. On a thread
// of a single-threaded apartment fn runs right here. Otherwise it runs on a
// short-lived helper thread of its own apartment while this thread keeps
// serving its windows (a dialog's owner must keep answering, or the dialog
// hangs). A WM_QUIT met meanwhile is posted again when fn has returned.
void CallInSta(const std::function<void()>& fn);

}  // namespace orbantis::win32ui
