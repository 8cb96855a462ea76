#include "com/KelmoraObject.h"

#include <olectl.h>

#include <new>
#include <vector>

#include "com/ServerLifetime.h"
#include "foundation/Win32Text.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::com {

using automation::Value;

namespace {

struct TypeInfos {
  ITypeLib* library = nullptr;
  ITypeInfo* dispatch = nullptr;  // IKELMORA as a dispinterface: names, identifiers
  ITypeInfo* vtable = nullptr;    // its table half: what ITypeInfo::Invoke calls
  ITypeInfo* coclass = nullptr;
};

TypeInfos& Types() {
  static TypeInfos types;
  return types;
}

WideString FromBstr(BSTR b) {
  if (b == nullptr) return {};
  return WideString(reinterpret_cast<const char16_t*>(b), ::SysStringLen(b));
}

BSTR ToBstr(const WideString& s) {
  return ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
}

Value Read(const ComArg& a) {
  switch (a.kind) {
    case ComArg::Int: return static_cast<std::int32_t>(*static_cast<LONG*>(a.value));
    // Only 0 is false, whatever the client sent for true.
    case ComArg::Bool: return *static_cast<VARIANT_BOOL*>(a.value) != 0;
    case ComArg::String: return FromBstr(*static_cast<BSTR*>(a.value));
    case ComArg::None: break;
  }
  return std::int32_t {0};
}

// An answer replaces the string the client passed in (freed here, as an
// in-out string is); a result is written into an empty out slot.
void Write(const ComArg& a, const Value& v, bool replaces) {
  if (a.value == nullptr) return;
  switch (a.kind) {
    case ComArg::Int: *static_cast<LONG*>(a.value) = std::get<std::int32_t>(v); break;
    case ComArg::Bool: *static_cast<VARIANT_BOOL*>(a.value) = std::get<bool>(v) ? VARIANT_TRUE : VARIANT_FALSE; break;
    case ComArg::String: {
      BSTR* slot = static_cast<BSTR*>(a.value);
      if (replaces) ::SysFreeString(*slot);
      *slot = ToBstr(std::get<WideString>(v));
      break;
    }
    case ComArg::None: break;
  }
}

INVOKEKIND KindOf(WORD flags) {
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return INVOKE_PROPERTYPUT;
  if ((flags & DISPATCH_METHOD) == 0 && (flags & DISPATCH_PROPERTYGET) != 0) return INVOKE_PROPERTYGET;
  return INVOKE_FUNC;
}

// showLogoForm's dispatch identifier.
constexpr std::int32_t kShowLogoFormId = 367;

// Where a by-reference variant is turned into the declared reference.
struct Converted {
  VARIANT* arg;
  VARIANT* inner;
};

// A by-value number the call turned into text; the client's value comes back
// afterwards.
struct Replaced {
  VARIANT* arg;
  VARIANT original;
};

bool IsNumber(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: return true;
    default: return false;
  }
}

// A number a till passes where the interface takes text (a price as a
// Double or Currency from VB6 or VBA) becomes text with the invariant locale:
// the user's locale writes "2,5" on a decimal-comma Windows, which every
// price field refuses. Text the till wrote itself is left as it is.
HRESULT ToInvariantText(VARIANT* v) { return ::VariantChangeTypeEx(v, v, LOCALE_INVARIANT, 0, VT_BSTR); }

}  // namespace

bool KelmoraObject::LoadTypeInfo() {
  auto& t = Types();
  if (t.vtable != nullptr) return true;
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, &t.library);
  if (SUCCEEDED(hr)) hr = t.library->GetTypeInfoOfGuid(IID_IKELMORA, &t.dispatch);
  if (SUCCEEDED(hr)) {
    HREFTYPE href = 0;
    if (SUCCEEDED(t.dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)))
      hr = t.dispatch->GetRefTypeInfo(href, &t.vtable);
    else {
      t.vtable = t.dispatch;
      t.vtable->AddRef();
    }
  }
  if (SUCCEEDED(hr)) hr = t.library->GetTypeInfoOfGuid(CLSID_KELMORA, &t.coclass);
  if (FAILED(hr)) {
    try {
      WRITE_EXE_LOG("The type library embedded in the server cannot be loaded: " +
                    win32::ErrorText(static_cast<DWORD>(hr)));
    } catch (...) {
    }
    return false;
  }
  return true;
}

KelmoraObject::KelmoraObject()
    : FObject(std::make_unique<TKELMORA>()), FPoint(static_cast<IConnectionPointContainer*>(this), *FObject, FGate) {
  ServerLifetime::Instance().ObjectCreated();
}

KelmoraObject::~KelmoraObject() {
  // A sink still connected goes with the object; the printer connection the
  // client left open is closed.
  FPoint.Disconnect();
  try {
    FObject->ReleaseConnection();
  } catch (...) {
  }
  FObject.reset();
  ServerLifetime::Instance().ObjectReleased();
}

HRESULT KelmoraObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IKELMORA)
    *out = static_cast<IKELMORA*>(this);
  else if (riid == IID_IConnectionPointContainer)
    *out = static_cast<IConnectionPointContainer*>(this);
  else if (riid == IID_IProvideClassInfo)
    *out = static_cast<IProvideClassInfo*>(this);
  else if (riid == IID_ISupportErrorInfo)
    *out = static_cast<ISupportErrorInfo*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG KelmoraObject::AddRef() { return ++FRefs; }

ULONG KelmoraObject::Release() {
  const ULONG left = --FRefs;
  if (left == 0) delete this;
  return left;
}

HRESULT KelmoraObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT KelmoraObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  if (Types().dispatch == nullptr) return E_UNEXPECTED;
  *info = Types().dispatch;
  (*info)->AddRef();
  return S_OK;
}

HRESULT KelmoraObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (Types().dispatch == nullptr) return E_UNEXPECTED;
  return ::DispGetIDsOfNames(Types().dispatch, names, count, ids);
}

HRESULT KelmoraObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* exception, UINT* argError) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  ITypeInfo* types = Types().vtable;
  if (types == nullptr) return E_UNEXPECTED;

  // VBScript passes every variable by reference as a variant; a parameter
  // declared as a reference to a string must get a reference to a string.
  // The client's variant is changed to the declared type in place and a
  // reference into it passed on, so the answer lands in the client's
  // variable; afterwards the argument is the client's reference again.
  if (params->cNamedArgs > params->cArgs || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  // Whatever happens below, the client's arguments are its own again at the
  // end: a reference left pointing into a variant would be freed as a string.
  std::vector<Converted> converted;
  std::vector<Replaced> replaced;
  struct Restore {
    std::vector<Converted>& list;
    std::vector<Replaced>& values;
    ~Restore() {
      for (const auto& c : list) {
        c.arg->vt = VT_BYREF | VT_VARIANT;
        c.arg->pvarVal = c.inner;
      }
      for (auto& r : values) {
        ::VariantClear(r.arg);
        *r.arg = r.original;
      }
    }
  } restore {converted, replaced};

  ITypeInfo2* types2 = nullptr;
  if (SUCCEEDED(types->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&types2)))) {
    UINT index = 0;
    FUNCDESC* fd = nullptr;
    HRESULT mismatch = S_OK;
    if (SUCCEEDED(types2->GetFuncIndexOfMemId(id, KindOf(flags), &index)) &&
        SUCCEEDED(types2->GetFuncDesc(index, &fd))) {
      const UINT positional = params->cArgs - params->cNamedArgs;
      replaced.reserve(positional);
      for (UINT k = 0; k < positional && k < static_cast<UINT>(fd->cParams); ++k) {
        VARIANT& arg = params->rgvarg[params->cArgs - 1 - k];
        const TYPEDESC& declared = fd->lprgelemdescParam[k].tdesc;
        if (declared.vt == VT_BSTR) {
          // A number by value, in a VBScript variable (a reference to a
          // variant) or in a VB6 variable (a reference to the number).
          VARTYPE held = arg.vt;
          if (held == (VT_BYREF | VT_VARIANT)) held = arg.pvarVal != nullptr ? arg.pvarVal->vt : static_cast<VARTYPE>(VT_EMPTY);
          else if ((held & VT_BYREF) != 0) held = static_cast<VARTYPE>(held & ~VT_BYREF);
          if (!IsNumber(held)) continue;
          VARIANT text;
          ::VariantInit(&text);
          if (FAILED(::VariantCopyInd(&text, &arg)) || FAILED(ToInvariantText(&text))) {
            ::VariantClear(&text);
            if (argError != nullptr) *argError = params->cArgs - 1 - k;
            mismatch = DISP_E_TYPEMISMATCH;
            break;
          }
          replaced.push_back({&arg, arg});
          arg = text;
          continue;
        }
        if (arg.vt != (VT_BYREF | VT_VARIANT) || declared.vt != VT_PTR || arg.pvarVal == nullptr) continue;
        const VARTYPE target = declared.lptdesc->vt;
        VARIANT* inner = arg.pvarVal;
        if (inner->vt != target) {
          if (target == VT_BSTR && (inner->vt == VT_EMPTY || inner->vt == VT_NULL)) {
            ::VariantClear(inner);
            inner->vt = VT_BSTR;
            inner->bstrVal = ::SysAllocString(L"");
          } else if (FAILED(target == VT_BSTR && IsNumber(inner->vt) ? ToInvariantText(inner)
                                                                      : ::VariantChangeType(inner, inner, 0, target))) {
            if (argError != nullptr) *argError = params->cArgs - 1 - k;
            mismatch = DISP_E_TYPEMISMATCH;
            break;
          }
        }
        switch (target) {
          case VT_BSTR: arg.pbstrVal = &inner->bstrVal; break;
          case VT_I4: arg.plVal = &inner->lVal; break;
          case VT_BOOL: arg.pboolVal = &inner->boolVal; break;
          default: arg.byref = &inner->byref; break;
        }
        arg.vt = static_cast<VARTYPE>(VT_BYREF | target);
        converted.push_back({&arg, inner});
      }
      types2->ReleaseFuncDesc(fd);
    }
    types2->Release();
    if (FAILED(mismatch)) return mismatch;
  }

  const HRESULT hr =
      types->Invoke(static_cast<IKELMORA*>(this), id, flags, params, result, exception, argError);
  return hr;
}

HRESULT KelmoraObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
  // The one point is found by its interface (FindConnectionPoint).
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT KelmoraObject::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (riid != DIID_IKELMORAEvents) return CONNECT_E_NOCONNECTION;
  *out = &FPoint;
  FPoint.AddRef();
  return S_OK;
}

HRESULT KelmoraObject::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = Types().coclass;
  if (*info == nullptr) return E_UNEXPECTED;
  (*info)->AddRef();
  return S_OK;
}

HRESULT KelmoraObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID_IKELMORA ? S_OK : S_FALSE;
}

HRESULT KelmoraObject::Fail(const std::string& text) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(::CreateErrorInfo(&create))) {
    const std::wstring description = win32::Widen(text);
    create->SetGUID(IID_IKELMORA);
    create->SetSource(const_cast<LPOLESTR>(L"ORBANTIS.KELMORA"));
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      ::SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return E_FAIL;
}

HRESULT KelmoraObject::Call(const automation::InterfaceEntry* entry, ComArg* args, std::size_t count,
                            ComArg result) {
  CallScope counted;
  if (entry == nullptr) return E_NOTIMPL;
  const auto& e = *entry;
  try {
    std::vector<Value> values;
    values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (args[i].value == nullptr) return E_POINTER;
      values.push_back(Read(args[i]));
    }
    if (result.kind != ComArg::None && result.value == nullptr) return E_POINTER;
    std::optional<Value> answer;
    {
      GateScope one(FGate);
      // The form shows on the window's thread while this call waits for it;
      // the form's events open the gate in its stead.
      LentGate lent(FGate, e.dispId == kShowLogoFormId);
      answer = e.call(*FObject, values);
    }
    for (std::size_t i = 0; i < count; ++i)
      if (args[i].writeBack) Write(args[i], values[i], true);
    if (result.kind != ComArg::None && answer) Write(result, *answer, false);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& ex) {
    return Fail(ex.what());
  } catch (...) {
    return Fail("Unexpected fault in " + e.name + ".");
  }
  return S_OK;
}

}  // namespace orbantis::com
