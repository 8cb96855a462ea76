// The COM server from a C++ client, as Windows tills use it: early-bound
// through IKELMORA's table and late-bound through IDispatch, events on a
// connection point, registration, and the server's end of life.
//
// Run by tests/windows/run.sh under Wine, with the software printer on COM5
// (its paper roll at %ORBANTIS_PAPER%), a printer that never answers on
// COM6, and the server registered for all users (%ORBANTIS_SERVER% is its
// path).
#include <gtest/gtest.h>

#include <olectl.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "ComClient.h"

namespace orbantis::comtest {
namespace {

std::wstring Env(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v == nullptr ? std::wstring() : std::wstring(v);
}

// These raise: a test cannot go on without its object or its printer.
void Create(Ptr<IKELMORA>& object) {
  const HRESULT hr = ::CoCreateInstance(CLSID_KELMORA, nullptr, CLSCTX_LOCAL_SERVER, IID_IKELMORA, object.OutVoid());
  if (FAILED(hr)) throw std::runtime_error("CoCreateInstance(KELMORA) failed: " + std::to_string(hr));
}

void Connect(IKELMORA* object, LONG port) {
  LONG r = -99;
  if (FAILED(object->initFiscalPrinter(port, 115200, VARIANT_TRUE, VARIANT_TRUE, &r)) || r != 0)
    throw std::runtime_error("initFiscalPrinter failed: " + std::to_string(r));
  if (FAILED(object->CONNECT_TO_PRINTER(&r)) || r != 0)
    throw std::runtime_error("CONNECT_TO_PRINTER failed: " + std::to_string(r));
}

std::string Paper() {
  std::ifstream in(Env(L"ORBANTIS_PAPER").c_str());
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// A late-bound call: arguments in declared order; in-out strings are passed
// by reference and come back in place.
HRESULT Invoke(IDispatch* d, DISPID id, std::vector<VARIANT>& args, VARIANT* result) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS p {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO e {};
  UINT bad = 0;
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &p, result, &e, &bad);
}

VARIANT ByRef(BSTR* slot) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BYREF | VT_BSTR;
  v.pbstrVal = slot;
  return v;
}

VARIANT Text(BSTR value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = value;
  return v;
}

TEST(ComServer, PrintsAReceiptEndToEndThroughTheTable) {
  Ptr<IKELMORA> o;
  Create(o);
  Connect(o.Get(), 5);
  Bstr op(L"1"), pwd(L"0000"), till(L"1"), rec, glob;
  LONG r = -99;
  ASSERT_HRESULT_SUCCEEDED(o->CMD_48_0_0(op.Get(), pwd.Get(), till.Get(), rec.InOut(), glob.InOut(), &r));
  ASSERT_EQ(r, 0);
  EXPECT_FALSE(rec.Text().empty());
  Bstr l1(L"Espresso"), l2(L"double"), tax(L"A"), price(L"2.40"), quan(L"2"), unit(L"cup");
  // A line code page 1252 cannot print is refused unsent, the character named.
  Bstr cyrillic(L"\u041A\u0430\u0444\u0435");
  ASSERT_HRESULT_SUCCEEDED(o->CMD_49_0_9(cyrillic.Get(), l2.Get(), tax.Get(), price.Get(), quan.Get(), unit.Get(), &r));
  EXPECT_EQ(r, -3);
  Bstr refusal;
  ASSERT_HRESULT_SUCCEEDED(o->GetLastErrorMessage(refusal.Out()));
  EXPECT_EQ(refusal.Text().rfind(L"Parameter L1 holds U+041A, a character code page 1252 cannot print", 0), 0u);
  ASSERT_HRESULT_SUCCEEDED(o->CMD_49_0_9(l1.Get(), l2.Get(), tax.Get(), price.Get(), quan.Get(), unit.Get(), &r));
  ASSERT_EQ(r, 0);
  Bstr mode(L"P"), amount(L"10.00"), paid, change;
  ASSERT_HRESULT_SUCCEEDED(o->CMD_53_0_0(mode.Get(), amount.Get(), paid.InOut(), change.InOut(), &r));
  ASSERT_EQ(r, 0);
  EXPECT_EQ(paid.Text(), L"R");
  EXPECT_EQ(change.Text(), L"5.20");
  Bstr rec2, glob2;
  ASSERT_HRESULT_SUCCEEDED(o->CMD_56_0_0(rec2.InOut(), glob2.InOut(), &r));
  ASSERT_EQ(r, 0);
  EXPECT_NE(Paper().find("Espresso"), std::string::npos) << Paper();
  ASSERT_HRESULT_SUCCEEDED(o->CLOSE_CONNECTION(&r));
}

TEST(ComServer, ReachesAPrinterOnTheNetwork) {
  const std::wstring port = Env(L"ORBANTIS_TCP_PORT");
  ASSERT_FALSE(port.empty());
  Ptr<IKELMORA> o;
  Create(o);
  Bstr host(L"127.0.0.1"), number(port.c_str());
  LONG r = -99;
  ASSERT_HRESULT_SUCCEEDED(o->INIT_MY_FP2(host.Get(), number.Get(), &r));
  ASSERT_EQ(r, 0);
  ASSERT_HRESULT_SUCCEEDED(o->CONNECT_TO_PRINTER(&r));
  ASSERT_EQ(r, 0);
  Bstr name, firmware, checksum, switches, serial;
  ASSERT_HRESULT_SUCCEEDED(
      o->CMD_90_0_0(name.InOut(), firmware.InOut(), checksum.InOut(), switches.InOut(), serial.InOut(), &r));
  EXPECT_EQ(r, 0);
  EXPECT_EQ(serial.Text(), L"OB00000001");
  ASSERT_HRESULT_SUCCEEDED(o->CLOSE_CONNECTION(&r));
  // Nobody listens on port 1: the connect fails with its code and its reason.
  Bstr closed(L"1");
  ASSERT_HRESULT_SUCCEEDED(o->INIT_MY_FP2(host.Get(), closed.Get(), &r));
  ASSERT_HRESULT_SUCCEEDED(o->CONNECT_TO_PRINTER(&r));
  EXPECT_LT(r, 0);
  Bstr detail;
  ASSERT_HRESULT_SUCCEEDED(o->GetLastErrorDetail(detail.Out()));
  EXPECT_NE(detail.Text().find(L"127.0.0.1"), std::wstring::npos) << std::string(detail.Text().begin(), detail.Text().end());
}

TEST(ComServer, APortOpenOnOneObjectIsRefusedToAnother) {
  // Wine does not enforce the share mode: the port's own guard does.
  Ptr<IKELMORA> first, second;
  Create(first);
  Create(second);
  Connect(first.Get(), 5);
  LONG r = 0;
  ASSERT_HRESULT_SUCCEEDED(second->initFiscalPrinter(5, 115200, VARIANT_TRUE, VARIANT_TRUE, &r));
  ASSERT_HRESULT_SUCCEEDED(second->CONNECT_TO_PRINTER(&r));
  EXPECT_LT(r, 0);
  Bstr detail;
  ASSERT_HRESULT_SUCCEEDED(second->GetLastErrorDetail(detail.Out()));
  EXPECT_NE(detail.Text().find(L"held by"), std::wstring::npos)
      << std::string(detail.Text().begin(), detail.Text().end());
  // Closed on the first, it opens on the second.
  ASSERT_HRESULT_SUCCEEDED(first->CLOSE_CONNECTION(&r));
  ASSERT_HRESULT_SUCCEEDED(second->CONNECT_TO_PRINTER(&r));
  EXPECT_EQ(r, 0);
}

TEST(ComServer, PropertiesAndAFaultWithItsText) {
  Ptr<IKELMORA> o;
  Create(o);
  ASSERT_HRESULT_SUCCEEDED(o->put_debugMode(VARIANT_TRUE));
  VARIANT_BOOL mode = VARIANT_FALSE;
  ASSERT_HRESULT_SUCCEEDED(o->get_debugMode(&mode));
  EXPECT_EQ(mode, VARIANT_TRUE);
  ASSERT_HRESULT_SUCCEEDED(o->put_codePage(1251));
  LONG page = 0;
  ASSERT_HRESULT_SUCCEEDED(o->get_codePage(&page));
  EXPECT_EQ(page, 1251);
  // A code page the printer has not fails the call; a late-bound client
  // gets the reason as the exception's description. (Wine does not carry
  // the error object of an early-bound call across processes.)
  EXPECT_TRUE(FAILED(o->put_codePage(437)));
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = 437;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS p {&value, &named, 1, 1};
  EXCEPINFO e {};
  UINT bad = 0;
  EXPECT_EQ(o->Invoke(375, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &p, nullptr, &e, &bad),
            DISP_E_EXCEPTION);
  const std::wstring description = e.bstrDescription == nullptr ? L"" : e.bstrDescription;
  EXPECT_NE(description.find(L"437"), std::wstring::npos) << std::string(description.begin(), description.end());
  ::SysFreeString(e.bstrDescription);
  ::SysFreeString(e.bstrSource);
  ::SysFreeString(e.bstrHelpFile);
  ASSERT_HRESULT_SUCCEEDED(o->get_codePage(&page));
  EXPECT_EQ(page, 1251);
  VARIANT_BOOL replace = VARIANT_TRUE;
  ASSERT_HRESULT_SUCCEEDED(o->get_replaceUnmappable(&replace));
  EXPECT_EQ(replace, VARIANT_FALSE) << "the default refuses what the code page cannot print";
  ASSERT_HRESULT_SUCCEEDED(o->put_replaceUnmappable(VARIANT_TRUE));
  ASSERT_HRESULT_SUCCEEDED(o->get_replaceUnmappable(&replace));
  EXPECT_EQ(replace, VARIANT_TRUE);
}

TEST(ComServer, LateBindingFindsTheFixedDispatchIdentifiers) {
  Ptr<IKELMORA> o;
  Create(o);
  const struct {
    const wchar_t* name;
    DISPID id;
  } cases[] = {{L"INIT_MY_FP", 201}, {L"CMD_121_0", 325}, {L"CMD_49_0_9", 326}, {L"CMD_120_0", 327},
               {L"getStatusDescription", 278}, {L"debugFolder", 371}, {L"codePage", 375},
               {L"replaceUnmappable", 377}};
  for (const auto& c : cases) {
    LPOLESTR name = const_cast<LPOLESTR>(c.name);
    DISPID id = 0;
    ASSERT_HRESULT_SUCCEEDED(o->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) << c.name;
    EXPECT_EQ(id, c.id) << c.name;
  }
  LPOLESTR unknown = const_cast<LPOLESTR>(L"CMD_999_0_0");
  DISPID id = 0;
  EXPECT_EQ(o->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
  // The whole receipts have the identifiers they have on every platform.
  for (const auto& [name, want] : {std::pair {L"printReceipt", 373}, std::pair {L"getReceipt", 374}}) {
    LPOLESTR receipt = const_cast<LPOLESTR>(name);
    ASSERT_HRESULT_SUCCEEDED(o->GetIDsOfNames(IID_NULL, &receipt, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(id, want);
  }
}

// A till sends one receipt document twice under one key (it never saw the
// first answer): it is printed once, and the second answer is the first's,
// marked repeated. getReceipt reads it back; the journal and the printers'
// lock files are in the user's %LOCALAPPDATA%\ORBANTIS.
TEST(ComServer, AWholeReceiptSentTwiceUnderOneKeyPrintsOnce) {
  Ptr<IKELMORA> o;
  Create(o);
  Connect(o.Get(), 5);
  const std::string before = Paper();
  const std::wstring key = L"win-" + std::to_wstring(::GetTickCount64());
  Bstr document((L"{\"key\": \"" + key +
                 L"\", \"operator\": {\"code\": 1, \"password\": \"0000\", \"till\": 1},"
                 L" \"items\": [{\"text\": \"Windows tea\", \"taxGroup\": \"A\", \"price\": \"1.50\","
                 L" \"unit\": \"cup\"}]}")
                    .c_str());
  Bstr first, second, read;
  LONG r = -99;
  ASSERT_HRESULT_SUCCEEDED(o->printReceipt(document.Get(), first.InOut(), &r));
  ASSERT_EQ(r, 0) << std::string(first.Text().begin(), first.Text().end());
  EXPECT_NE(first.Text().find(L"\"state\":\"printed\""), std::wstring::npos);
  ASSERT_HRESULT_SUCCEEDED(o->printReceipt(document.Get(), second.InOut(), &r));
  EXPECT_EQ(r, 0);
  EXPECT_NE(second.Text().find(L"\"repeated\":true"), std::wstring::npos)
      << std::string(second.Text().begin(), second.Text().end());
  Bstr askedKey(key.c_str());
  ASSERT_HRESULT_SUCCEEDED(o->getReceipt(askedKey.Get(), read.InOut(), &r));
  EXPECT_EQ(r, 0);
  EXPECT_NE(read.Text().find(L"\"state\":\"printed\""), std::wstring::npos);

  const std::string added = Paper().substr(before.size());
  std::size_t times = 0;
  for (std::size_t at = added.find("Windows tea"); at != std::string::npos; at = added.find("Windows tea", at + 1))
    ++times;
  EXPECT_EQ(times, 1u) << added;
  const std::wstring folder = Env(L"LOCALAPPDATA") + L"\\ORBANTIS\\";
  EXPECT_NE(::GetFileAttributesW((folder + L"journal.sqlite").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(::GetFileAttributesW((folder + L"printers").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_HRESULT_SUCCEEDED(o->CLOSE_CONNECTION(&r));
}

// An object browser (VB6, VBA, Delphi) shows each method's and property's
// description from the registered type library.
TEST(ComServer, EveryMethodAndPropertyHasItsHelpString) {
  ITypeLib* library = nullptr;
  ASSERT_HRESULT_SUCCEEDED(::LoadRegTypeLib(LIBID_ORBANTIS, 1, 0, LOCALE_NEUTRAL, &library));
  ITypeInfo* info = nullptr;
  ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(IID_IKELMORA, &info));
  TYPEATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(info->GetTypeAttr(&attr));
  std::vector<std::wstring> without;
  std::wstring sale;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* fd = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetFuncDesc(i, &fd));
    BSTR name = nullptr, doc = nullptr;
    // IUnknown's and IDispatch's own methods are hidden from browsers.
    if ((fd->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0 &&
        SUCCEEDED(info->GetDocumentation(fd->memid, &name, &doc, nullptr, nullptr))) {
      const std::wstring n = name ? name : L"", d = doc ? doc : L"";
      if (d.empty()) without.push_back(n);
      if (n == L"CMD_49_0_0") sale = d;
    }
    ::SysFreeString(name);
    ::SysFreeString(doc);
    info->ReleaseFuncDesc(fd);
  }
  const UINT functions = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  info->Release();
  library->Release();
  EXPECT_GT(functions, 180u);
  EXPECT_TRUE(without.empty()) << without.size() << " without a help string, the first "
                               << std::string(without.front().begin(), without.front().end());
  EXPECT_FALSE(sale.empty());
}

TEST(ComServer, LateBoundAnswersComeBackIncludingTheOnesDeclaredAsInputs) {
  Ptr<IKELMORA> o;
  Create(o);
  Connect(o.Get(), 5);
  // CMD_121_0 by its identifier: address, length, and the answer in place.
  Bstr address(L"0"), length(L"16"), data(L"stale");
  std::vector<VARIANT> args = {Text(address.Get()), Text(length.Get()), ByRef(data.InOut())};
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_HRESULT_SUCCEEDED(Invoke(o.Get(), 325, args, &result));
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 0);
  EXPECT_NE(data.Text(), L"stale");
  EXPECT_FALSE(data.Text().empty());
  // CMD_112_0's answers are declared as inputs; through IDispatch they come
  // back all the same.
  Bstr operatorNumber(L"1");
  std::vector<Bstr> answers(11);
  std::vector<VARIANT> args112 = {Text(operatorNumber.Get())};
  for (auto& a : answers) args112.push_back(ByRef(a.InOut()));
  ::VariantInit(&result);
  ASSERT_HRESULT_SUCCEEDED(Invoke(o.Get(), 306, args112, &result));
  EXPECT_EQ(result.lVal, 0);
  EXPECT_FALSE(answers[9].Text().empty()) << "OperatorName";
}

TEST(ComServer, ByReferenceVariantsBecomeTheDeclaredStrings) {
  // VBScript passes every variable by reference as a variant, whatever it
  // holds: an empty one, a number.
  Ptr<IKELMORA> o;
  Create(o);
  Connect(o.Get(), 5);
  VARIANT inner[5];
  for (auto& v : inner) ::VariantInit(&v);
  inner[1].vt = VT_I4;
  inner[1].lVal = 42;
  std::vector<VARIANT> args(5);
  for (int i = 0; i < 5; ++i) {
    ::VariantInit(&args[i]);
    args[i].vt = VT_BYREF | VT_VARIANT;
    args[i].pvarVal = &inner[i];
  }
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_HRESULT_SUCCEEDED(Invoke(o.Get(), 267, args, &result));  // CMD_90_0_0
  EXPECT_EQ(result.lVal, 0);
  for (const auto& v : inner) EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(inner[4].bstrVal), L"OB00000001");
  for (auto& v : inner) ::VariantClear(&v);

  // A value that is no string (an array) is refused with its position; the
  // server goes on serving.
  SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
  for (auto& v : inner) ::VariantInit(&v);
  inner[1].vt = VT_ARRAY | VT_VARIANT;
  inner[1].parray = array;
  ::VariantInit(&result);
  EXPECT_EQ(Invoke(o.Get(), 267, args, &result), DISP_E_TYPEMISMATCH);
  for (auto& v : inner) ::VariantClear(&v);
  LONG code = 1;
  ASSERT_HRESULT_SUCCEEDED(o->GetLastErrorCode(&code));
  Bstr s0, s1, s2, s3, s4, s5;
  LONG r = -99;
  ASSERT_HRESULT_SUCCEEDED(o->CMD_74_0_1(s0.InOut(), s1.InOut(), s2.InOut(), s3.InOut(), s4.InOut(), s5.InOut(), &r));
  EXPECT_EQ(r, 0);
}

TEST(ComServer, StatusReadLeavesItsAnswersAsTheyCameWhenItFails) {
  Ptr<IKELMORA> o;
  Create(o);
  // No printer connected: the read fails and the client's texts stay.
  Bstr option(L"X");
  std::vector<Bstr> s(6);
  for (auto& b : s) *b.InOut() = ::SysAllocString(L"kept");
  LONG r = 0;
  ASSERT_HRESULT_SUCCEEDED(o->CMD_74_0_0(option.Get(), s[0].InOut(), s[1].InOut(), s[2].InOut(), s[3].InOut(),
                                         s[4].InOut(), s[5].InOut(), &r));
  EXPECT_LT(r, 0);
  for (auto& b : s) EXPECT_EQ(b.Text(), L"kept");
  // Connected, the answers replace them.
  Connect(o.Get(), 5);
  ASSERT_HRESULT_SUCCEEDED(o->CMD_74_0_0(option.Get(), s[0].InOut(), s[1].InOut(), s[2].InOut(), s[3].InOut(),
                                         s[4].InOut(), s[5].InOut(), &r));
  EXPECT_EQ(r, 0);
  EXPECT_NE(s[0].Text(), L"kept");
  // A command method's in-out answer never comes back with the text it came in with.
  Bstr rec(L"old"), glob(L"old");
  ASSERT_HRESULT_SUCCEEDED(o->CLOSE_CONNECTION(&r));
  ASSERT_HRESULT_SUCCEEDED(o->CMD_56_0_0(rec.InOut(), glob.InOut(), &r));
  EXPECT_EQ(r, -1);
  EXPECT_EQ(rec.Text(), L"");
}

struct Advised {
  Ptr<IConnectionPoint> point;
  DWORD cookie = 0;
};

void Advise(IKELMORA* o, IUnknown* sink, Advised& a, HRESULT expected = S_OK) {
  Ptr<IConnectionPointContainer> container;
  ASSERT_HRESULT_SUCCEEDED(o->QueryInterface(IID_IConnectionPointContainer, container.OutVoid()));
  ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(DIID_IKELMORAEvents, a.point.Out()));
  EXPECT_EQ(a.point->Advise(sink, &a.cookie), expected);
}

TEST(ComServer, EventsReachOneSinkAndASecondIsRefused) {
  Ptr<IKELMORA> o;
  Create(o);
  RecordingSink first, second;
  Advised a, b;
  Advise(o.Get(), &first, a);
  EXPECT_EQ(a.cookie, 1u);
  Advise(o.Get(), &second, b, CONNECT_E_ADVISELIMIT);

  // A failing CUSTOM_CMD (no printer) fires ON_ERROR inside the call.
  Bstr in(L""), out(L"");
  VARIANT_BOOL ok = VARIANT_TRUE;
  ASSERT_HRESULT_SUCCEEDED(o->CUSTOM_CMD(74, in.InOut(), out.InOut(), &ok));
  EXPECT_EQ(ok, VARIANT_FALSE);
  auto events = first.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].rfind(L"ON_ERROR -4", 0), 0u) << events[0];
  EXPECT_TRUE(second.Events().empty());

  // After unadvise nothing arrives; a cookie that names nothing is refused.
  EXPECT_EQ(a.point->Unadvise(7), CONNECT_E_NOCONNECTION);
  ASSERT_HRESULT_SUCCEEDED(a.point->Unadvise(a.cookie));
  ASSERT_HRESULT_SUCCEEDED(o->CUSTOM_CMD(74, in.InOut(), out.InOut(), &ok));
  EXPECT_EQ(first.Events().size(), 1u);
}

TEST(ComServer, ASinkThatCallsBackFromItsEventDoesNotHangTheCall) {
  // Tills read the error text inside ON_ERROR.
  Ptr<IKELMORA> o;
  Create(o);
  struct CallingBack : RecordingSink {
    IKELMORA* object = nullptr;
    std::wstring text;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT* r,
                                     EXCEPINFO* e, UINT* a) override {
      Bstr message;
      if (id == 201 && SUCCEEDED(object->GetLastErrorMessage(message.Out()))) text = message.Text();
      return RecordingSink::Invoke(id, riid, lcid, flags, p, r, e, a);
    }
  } sink;
  sink.object = o.Get();
  Advised a;
  Advise(o.Get(), &sink, a);
  LONG r = 0;
  ASSERT_HRESULT_SUCCEEDED(o->CONNECT_TO_PRINTER(&r));
  EXPECT_LT(r, 0);
  EXPECT_FALSE(sink.text.empty());
  a.point->Unadvise(a.cookie);
}

TEST(ComServer, LogoTransferReportsItsProgress) {
  Ptr<IKELMORA> o;
  Create(o);
  Connect(o.Get(), 5);
  RecordingSink sink;
  Advised a;
  Advise(o.Get(), &sink, a);
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"orbantis-logo-test.bmp";
  Bstr name(file.c_str());
  LONG r = -99;
  ASSERT_HRESULT_SUCCEEDED(o->getLogoFromPrinter(name.Get(), &r));
  EXPECT_EQ(r, 0);
  const auto events = sink.Events();
  std::wstring all;
  for (const auto& e : events) all += e + L"|";
  ASSERT_GE(events.size(), 4u) << std::string(all.begin(), all.end());
  EXPECT_EQ(events.front(), L"OnStartProgress");
  EXPECT_EQ(events[1], L"OnProgress 0 ");
  EXPECT_EQ(events[events.size() - 2], L"OnProgress 0 ");
  EXPECT_EQ(events.back(), L"OnEndProgress");
  EXPECT_EQ(std::count(events.begin(), events.end(), L"OnProgress 96 "), 1);
  EXPECT_NE(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
  a.point->Unadvise(a.cookie);
}

TEST(ComServer, ACallFromAProgressEventCannotPullThePrinterFromUnderTheTransfer) {
  Ptr<IKELMORA> o;
  Create(o);
  Connect(o.Get(), 5);
  struct ClosingSink : RecordingSink {
    IKELMORA* object = nullptr;
    LONG closeResult = 1;
    std::wstring text;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT* r,
                                     EXCEPINFO* e, UINT* a) override {
      if (id == 202 && closeResult == 1 && p->cArgs == 2 && p->rgvarg[1].lVal == 10) {
        object->CLOSE_CONNECTION(&closeResult);
        Bstr message;
        if (SUCCEEDED(object->GetLastErrorMessage(message.Out()))) text = message.Text();
      }
      return RecordingSink::Invoke(id, riid, lcid, flags, p, r, e, a);
    }
  } sink;
  sink.object = o.Get();
  Advised a;
  Advise(o.Get(), &sink, a);
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  Bstr name((std::wstring(temp) + L"orbantis-logo-reentry.bmp").c_str());
  LONG r = -99;
  ASSERT_HRESULT_SUCCEEDED(o->getLogoFromPrinter(name.Get(), &r));
  EXPECT_EQ(r, 0) << "the transfer went on to its end";
  EXPECT_EQ(sink.closeResult, -1) << "the connection under the transfer stays";
  EXPECT_NE(sink.text.find(L"logo transfer is under way"), std::wstring::npos);
  EXPECT_EQ(sink.Events().back(), L"OnEndProgress");
  // Afterwards the object closes as ever.
  ASSERT_HRESULT_SUCCEEDED(o->CLOSE_CONNECTION(&r));
  EXPECT_EQ(r, 0);
  a.point->Unadvise(a.cookie);
}

TEST(ComServer, ASilentPrinterOnOneObjectDoesNotHoldAnother) {
  // The silent object's result is checked by the thread itself.
  // COM6 never answers: its CONNECT_TO_PRINTER waits through its retries.
  std::atomic<bool> silentDone {false};
  std::atomic<LONG> silentResult {1};
  HANDLE connecting = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread silent([&] {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      Ptr<IKELMORA> s;
      if (SUCCEEDED(::CoCreateInstance(CLSID_KELMORA, nullptr, CLSCTX_LOCAL_SERVER, IID_IKELMORA, s.OutVoid()))) {
        LONG r = 0;
        s->initFiscalPrinter(6, 115200, VARIANT_TRUE, VARIANT_TRUE, &r);
        ::SetEvent(connecting);
        s->CONNECT_TO_PRINTER(&r);
        silentResult = r;
        EXPECT_LT(r, 0) << "a printer that never answers cannot be connected";
      }
    }
    silentDone = true;
    ::SetEvent(connecting);  // also when the object could not be made
    ::CoUninitialize();
  });
  struct Joined {
    std::thread& t;
    ~Joined() { t.join(); }
  } joined {silent};
  // The silent connect is on its way (it waits through its retries, seconds).
  ::WaitForSingleObject(connecting, INFINITE);
  ::CloseHandle(connecting);
  ::Sleep(100);
  Ptr<IKELMORA> o;
  Create(o);
  Connect(o.Get(), 5);
  Bstr s0, s1, s2, s3, s4, s5;
  LONG r = -99;
  ASSERT_HRESULT_SUCCEEDED(o->CMD_74_0_1(s0.InOut(), s1.InOut(), s2.InOut(), s3.InOut(), s4.InOut(), s5.InOut(), &r));
  EXPECT_EQ(r, 0);
  EXPECT_FALSE(silentDone) << "the other object's call finished first: nothing shows they ran side by side";
}

// The number of orbantis.exe processes running now.
int ServerProcesses() {
  int n = 0;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e {};
  e.dwSize = sizeof e;
  for (BOOL more = ::Process32FirstW(snap, &e); more; more = ::Process32NextW(snap, &e))
    if (_wcsicmp(e.szExeFile, L"orbantis.exe") == 0) ++n;
  ::CloseHandle(snap);
  return n;
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (done()) return true;
    ::Sleep(100);
  }
  return done();
}

TEST(ComServer, OneServerServesEveryObjectAndEndsWithTheLastOne) {
  {
    Ptr<IKELMORA> first, second;
    Create(first);
    Create(second);
    EXPECT_EQ(ServerProcesses(), 1);
    // Released while connected: the port closes with the object, and another
    // object of the running server opens it.
    Connect(first.Get(), 5);
    first.Reset();
    Connect(second.Get(), 5);
  }
  EXPECT_TRUE(WaitFor([] { return ServerProcesses() == 0; }, 20)) << "the server is still running";
}

DWORD RunServer(const std::wstring& arguments) {
  std::wstring command = L"\"" + Env(L"ORBANTIS_SERVER") + L"\" " + arguments;
  STARTUPINFOW si {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi {};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 999;
  ::WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 998;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return code;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  ::RegCloseKey(h);
  return true;
}

std::wstring ClsidText() {
  wchar_t text[64] = {};
  ::StringFromGUID2(CLSID_KELMORA, text, 64);
  return text;
}

TEST(ComServer, RegistersAndUnregistersWithEverySpellingOfItsSwitches) {
  ASSERT_FALSE(Env(L"ORBANTIS_SERVER").empty());
  const std::wstring clsid = L"Software\\Classes\\CLSID\\" + ClsidText();
  const std::wstring progId = L"Software\\Classes\\ORBANTIS.KELMORA";
  const struct {
    const wchar_t* reg;
    const wchar_t* unreg;
    HKEY root;
  } cases[] = {{L"/RegServerPerUser", L"/UnregServerPerUser", HKEY_CURRENT_USER},
               {L"-regserverperuser", L"-UNREGSERVERPERUSER", HKEY_CURRENT_USER},
               {L"/REGSERVER", L"-unregserver", HKEY_LOCAL_MACHINE}};
  for (const auto& c : cases) {
    ASSERT_EQ(RunServer(c.reg), 0u) << c.reg;
    EXPECT_TRUE(KeyExists(c.root, clsid + L"\\LocalServer32")) << c.reg;
    EXPECT_TRUE(KeyExists(c.root, progId + L"\\CLSID")) << c.reg;
    ASSERT_EQ(RunServer(c.unreg), 0u) << c.unreg;
    EXPECT_FALSE(KeyExists(c.root, clsid)) << c.unreg;
    EXPECT_FALSE(KeyExists(c.root, progId)) << c.unreg;
  }
  // The other tests need it registered for all users again.
  ASSERT_EQ(RunServer(L"/RegServer"), 0u);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, clsid + L"\\LocalServer32"));
}

}  // namespace
}  // namespace orbantis::comtest

int main(int argc, char** argv) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  const int code = RUN_ALL_TESTS();
  ::CoUninitialize();
  return code;
}
