// The logo form's file dialogs: open a picture, save a bitmap.
//
// Both run in a single-threaded apartment (StaCall.h) and never change the
// process's current directory: the server serves every client from one
// process, and a relative name of another client must not move with a
// dialog. Empty when the user cancels; Exception when the dialog fails.
#pragma once

#include <windows.h>

#include <string>

namespace orbantis::win32ui {

// BMP, JPEG or PNG, opening in folder.
std::wstring ChoosePictureToOpen(HWND owner, const std::wstring& folder);
// A bitmap file name, opening in folder; asks before an existing file is
// replaced.
std::wstring ChooseBitmapToSave(HWND owner, const std::wstring& folder);

}  // namespace orbantis::win32ui
