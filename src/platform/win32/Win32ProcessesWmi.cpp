// The process names through WMI, kept apart from the rest of Win32Processes for its COM
// headers.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include "platform/win32/Win32Processes.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

/// Holds one COM interface and releases it.
template <typename T>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() {
        if (p_ != nullptr) {
            p_->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T** out() { return &p_; }
    T* get() const { return p_; }
    T* operator->() const { return p_; }

  private:
    T* p_ = nullptr;
};

/// A BSTR made from a wide literal, freed at the end.
class Bstr {
  public:
    explicit Bstr(const wchar_t* text) : s_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return s_; }

  private:
    BSTR s_;
};

/// COM on this thread for the object's lifetime. A thread already in another apartment
/// (a window thread) can still make the calls; only an initialisation made here is undone.
class ComApartment {
  public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

  private:
    HRESULT hr_;
};

/// WMI refuses calls made at the default identify level: the proxy impersonates.
bool impersonate(IUnknown* proxy) {
    return SUCCEEDED(CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                       RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                       EOAC_NONE));
}

}  // namespace

std::optional<std::vector<std::string>> Win32Processes::WmiProcessNames() {
    ComApartment com;
    if (!com.usable()) {
        return std::nullopt;
    }
    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(locator.out())))) {
        return std::nullopt;
    }
    ComRef<IWbemServices> services;
    const Bstr space(L"ROOT\\CIMV2");
    if (FAILED(locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                      services.out())) ||
        !impersonate(services.get())) {
        return std::nullopt;
    }
    ComRef<IEnumWbemClassObject> rows;
    const Bstr language(L"WQL");
    const Bstr query(L"select * from Win32_Process");
    if (FAILED(services->ExecQuery(language.get(), query.get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                   rows.out()))) {
        return std::nullopt;
    }
    impersonate(rows.get());
    std::vector<std::string> names;
    for (;;) {
        ComRef<IWbemClassObject> row;
        ULONG returned = 0;
        const HRESULT hr = rows->Next(static_cast<LONG>(WBEM_INFINITE), 1, row.out(), &returned);
        if (hr == WBEM_S_FALSE || (SUCCEEDED(hr) && returned == 0)) {
            break;
        }
        if (FAILED(hr)) {
            return std::nullopt;
        }
        VARIANT name;
        VariantInit(&name);
        if (SUCCEEDED(row->Get(L"Name", 0, &name, nullptr, nullptr)) && name.vt == VT_BSTR &&
            name.bstrVal != nullptr) {
            names.push_back(
                utf16::narrow(std::wstring_view(name.bstrVal, SysStringLen(name.bstrVal))));
        }
        VariantClear(&name);
    }
    return names;
}

std::optional<std::vector<std::string>> Win32Processes::runningNames() {
    // An empty answer is no answer: this program itself is running.
    std::optional<std::vector<std::string>> names = WmiProcessNames();
    if (names && !names->empty()) {
        return names;
    }
    return Processes::runningNames();
}

}  // namespace nightjar::platform::win32
