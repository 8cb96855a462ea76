#include "win32ui/PictureFileDialogs.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "foundation/Strings.h"
#include "win32ui/StaCall.h"

namespace orbantis::win32ui {
namespace {

// Pairs of description and pattern, each ended by a null; the literal's own
// null ends the list.
constexpr wchar_t kOpenFilter[] =
    L"All pictures (*.png;*.jpg;*.jpeg;*.bmp)\0*.png;*.jpg;*.jpeg;*.bmp\0"
    L"PNG (*.png)\0*.png\0"
    L"JPEG Image File (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0"
    L"Bitmaps (*.bmp)\0*.bmp\0";
constexpr wchar_t kSaveFilter[] = L"Bitmaps (*.bmp)\0*.bmp\0";

// Long paths included.
constexpr std::size_t kNameCapacity = 32768;

std::wstring RunFileDialog(HWND owner, const std::wstring& folder, const wchar_t* filter, DWORD flags, bool save) {
  std::wstring chosen;
  CallInSta([&] {
    std::vector<wchar_t> name(kNameCapacity, L'\0');
    OPENFILENAMEW dialog {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.Flags = flags;
    const BOOL picked = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (picked) {
      chosen = name.data();
      return;
    }
    // Zero: the user cancelled.
    if (const DWORD failure = CommDlgExtendedError(); failure != 0)
      throw Exception("The file dialog failed (common dialog error " + std::to_string(failure) + ").");
  });
  return chosen;
}

}  // namespace

std::wstring ChoosePictureToOpen(HWND owner, const std::wstring& folder) {
  return RunFileDialog(owner, folder, kOpenFilter,
                       OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR, false);
}

std::wstring ChooseBitmapToSave(HWND owner, const std::wstring& folder) {
  return RunFileDialog(owner, folder, kSaveFilter,
                       OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR, true);
}

}  // namespace orbantis::win32ui
