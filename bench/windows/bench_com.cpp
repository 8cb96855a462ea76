// What a COM call to the server costs under Wine: a printer command (the
// status read CMD_74_0_1, to the software printer on COM5) against a trivial
// call on the same object (GetLastErrorCode), both early-bound from C++
// across processes; and how long an object takes to make, the first time
// (COM starts the server) and later. Google Benchmark has no mingw build in
// the packages, so this times with QueryPerformanceCounter: the median of
// several rounds of many calls each.
#include <objbase.h>
#include <tlhelp32.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ORBANTIS.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool ServerRunning() {
  bool found = false;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e {};
  e.dwSize = sizeof e;
  for (BOOL more = ::Process32FirstW(snap, &e); more; more = ::Process32NextW(snap, &e))
    if (_wcsicmp(e.szExeFile, L"orbantis.exe") == 0) found = true;
  ::CloseHandle(snap);
  return found;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class F>
double PerCall(int rounds, int calls, F call) {
  std::vector<double> perCall;
  for (int r = 0; r < rounds; ++r) {
    const double start = Now();
    for (int i = 0; i < calls; ++i) call();
    perCall.push_back((Now() - start) / calls);
  }
  return Median(perCall);
}

}  // namespace

int main() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (int i = 0; i < 100 && ServerRunning(); ++i) ::Sleep(100);
  IKELMORA* o = nullptr;
  const double start = Now();
  if (FAILED(::CoCreateInstance(CLSID_KELMORA, nullptr, CLSCTX_LOCAL_SERVER, IID_IKELMORA,
                                reinterpret_cast<void**>(&o)))) {
    std::fprintf(stderr, "bench_com: the server cannot be created\n");
    return 1;
  }
  const double firstActivation = Now() - start;

  std::vector<double> creations;
  for (int i = 0; i < 20; ++i) {
    IKELMORA* other = nullptr;
    const double t = Now();
    ::CoCreateInstance(CLSID_KELMORA, nullptr, CLSCTX_LOCAL_SERVER, IID_IKELMORA, reinterpret_cast<void**>(&other));
    creations.push_back(Now() - t);
    if (other != nullptr) other->Release();
  }

  LONG r = 0;
  o->initFiscalPrinter(5, 115200, VARIANT_TRUE, VARIANT_TRUE, &r);
  o->CONNECT_TO_PRINTER(&r);
  if (r != 0) {
    std::fprintf(stderr, "bench_com: no printer on COM5 (%ld)\n", static_cast<long>(r));
    return 1;
  }
  const int rounds = 7, calls = 300;
  const double trivial = PerCall(rounds, calls, [&] {
    LONG code = 0;
    o->GetLastErrorCode(&code);
  });
  const double command = PerCall(rounds, calls, [&] {
    BSTR s[6] = {};
    LONG result = 0;
    o->CMD_74_0_1(&s[0], &s[1], &s[2], &s[3], &s[4], &s[5], &result);
    for (BSTR b : s) ::SysFreeString(b);
  });
  o->CLOSE_CONNECTION(&r);
  o->Release();

  std::printf("first activation (COM starts the server)  %8.1f ms\n", firstActivation * 1e3);
  std::printf("a later object (median of 20)             %8.2f ms\n", Median(creations) * 1e3);
  std::printf("trivial call GetLastErrorCode             %8.3f ms\n", trivial * 1e3);
  std::printf("command call CMD_74_0_1 (status read)     %8.3f ms\n", command * 1e3);
  std::printf("command / trivial                         %8.2f\n", command / trivial);
  ::CoUninitialize();
  return 0;
}
