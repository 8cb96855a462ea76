#include "com/ComRegistration.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include "ORBANTIS.h"
#include "foundation/Win32Text.h"

namespace orbantis::com {
namespace {

// The marshalers of oleaut32: the dual interface goes through the type
// library marshaler, the event dispinterface through IDispatch's own.
constexpr const wchar_t* kTypeLibMarshaler = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kDispatchMarshaler = L"{00020420-0000-0000-C000-000000000046}";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[64] = {};
  ::StringFromGUID2(guid, text, 64);
  return text;
}

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // a long path: ask again with more room
  }
}

// The local-server entry holds the path in short form when it has a blank:
// COM starts the command line as it stands. Where there is no short form
// (8.3 names switched off), the path goes in quotes: unquoted, Windows would
// try "C:\Program.exe" first.
std::wstring ServerCommand() {
  std::wstring path = ExecutablePath();
  if (path.find(L' ') != std::wstring::npos) {
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD n = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) path = shortPath;
  }
  if (path.find(L' ') != std::wstring::npos) path = L"\"" + path + L"\"";
  return path;
}

class Classes {
 public:
  explicit Classes(bool perUser) : FRoot(perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE) {}

  // Writes the default value (name empty) or a named value of key.
  bool Set(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    HKEY h = nullptr;
    const std::wstring full = L"Software\\Classes\\" + key;
    LONG r = ::RegCreateKeyExW(FRoot, full.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
    if (r == ERROR_SUCCESS) {
      r = ::RegSetValueExW(h, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
      ::RegCloseKey(h);
    }
    if (r != ERROR_SUCCESS && FError.empty())
      FError = "Cannot write " + win32::Narrow(full) + ": " + win32::ErrorText(static_cast<DWORD>(r));
    return r == ERROR_SUCCESS;
  }

  void Remove(const std::wstring& key) {
    const std::wstring full = L"Software\\Classes\\" + key;
    const LONG r = ::RegDeleteTreeW(FRoot, full.c_str());
    if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND) {
      ::RegDeleteKeyW(FRoot, full.c_str());
      return;
    }
    if (FError.empty()) FError = "Cannot remove " + win32::Narrow(full) + ": " + win32::ErrorText(static_cast<DWORD>(r));
  }

  const std::string& Error() const { return FError; }

 private:
  HKEY FRoot;
  std::string FError;
};

// The library is registered under its locale (409, English) as
// RegisterTypeLib does, and under the neutral locale 0 as well: the type
// library marshaler asks for locale 0 and, under Wine, finds nothing else.
void WriteNeutralLocaleKey(Classes& c, const std::wstring& path) {
  c.Set(L"TypeLib\\" + GuidText(LIBID_ORBANTIS) + L"\\1.0\\0\\win64", L"", path);
}

// The type library's own keys, as RegisterTypeLib writes them, for a
// registration of the current user only.
void WriteTypeLibKeys(Classes& c, const std::wstring& path) {
  const std::wstring lib = GuidText(LIBID_ORBANTIS);
  std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  c.Set(L"TypeLib\\" + lib + L"\\1.0", L"", L"ORBANTIS Library");
  c.Set(L"TypeLib\\" + lib + L"\\1.0\\409\\win64", L"", path);
  WriteNeutralLocaleKey(c, path);
  c.Set(L"TypeLib\\" + lib + L"\\1.0\\FLAGS", L"", L"0");
  c.Set(L"TypeLib\\" + lib + L"\\1.0\\HELPDIR", L"", folder);
  const struct {
    REFGUID iid;
    const wchar_t* name;
    const wchar_t* marshaler;
  } interfaces[] = {{IID_IKELMORA, L"IKELMORA", kTypeLibMarshaler},
                    {DIID_IKELMORAEvents, L"IKELMORAEvents", kDispatchMarshaler}};
  for (const auto& i : interfaces) {
    const std::wstring key = L"Interface\\" + GuidText(i.iid);
    c.Set(key, L"", i.name);
    c.Set(key + L"\\ProxyStubClsid32", L"", i.marshaler);
    c.Set(key + L"\\ProxyStubClsid", L"", i.marshaler);
    c.Set(key + L"\\TypeLib", L"", lib);
    c.Set(key + L"\\TypeLib", L"Version", L"1.0");
  }
}

void RemoveTypeLibKeys(Classes& c) {
  c.Remove(L"TypeLib\\" + GuidText(LIBID_ORBANTIS));
  c.Remove(L"Interface\\" + GuidText(IID_IKELMORA));
  c.Remove(L"Interface\\" + GuidText(DIID_IKELMORAEvents));
}

}  // namespace

std::string RegisterServer(bool perUser) {
  Classes c(perUser);
  const std::wstring clsid = GuidText(CLSID_KELMORA);
  const std::wstring key = L"CLSID\\" + clsid;
  c.Set(key, L"", kClassDescription);
  c.Set(key + L"\\LocalServer32", L"", ServerCommand());
  c.Set(key + L"\\ProgID", L"", kProgId);
  c.Set(key + L"\\TypeLib", L"", GuidText(LIBID_ORBANTIS));
  c.Set(key + L"\\Version", L"", L"1.0");
  c.Set(kProgId, L"", kClassDescription);
  c.Set(std::wstring(kProgId) + L"\\CLSID", L"", clsid);
  if (!c.Error().empty()) return c.Error();

  const std::wstring path = ExecutablePath();
  if (perUser) {
    WriteTypeLibKeys(c, path);
    return c.Error();
  }
  ITypeLib* lib = nullptr;
  HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
  if (SUCCEEDED(hr)) {
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    std::wstring file = path;
    hr = ::RegisterTypeLib(lib, file.data(), folder.data());
    lib->Release();
  }
  if (FAILED(hr)) return "Cannot register the type library: " + win32::ErrorText(static_cast<DWORD>(hr));
  WriteNeutralLocaleKey(c, path);
  return c.Error();
}

std::string UnregisterServer(bool perUser) {
  Classes c(perUser);
  c.Remove(L"CLSID\\" + GuidText(CLSID_KELMORA));
  c.Remove(kProgId);
  if (perUser) {
    RemoveTypeLibKeys(c);
  } else {
    // A failure is ignored: the class is gone, which is what unregistering
    // is for. What the call leaves (the neutral locale's key, or all of it
    // when it failed) is removed by hand, errors ignored as well.
    ::UnRegisterTypeLib(LIBID_ORBANTIS, 1, 0, 0x409, SYS_WIN64);
    Classes typeLib(false);
    RemoveTypeLibKeys(typeLib);
  }
  return c.Error();
}

}  // namespace orbantis::com
