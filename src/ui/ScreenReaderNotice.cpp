#include "ui/ScreenReaderNotice.h"

#include <oleauto.h>
#include <uiautomationcore.h>

#include <atomic>
#include <utility>

namespace {

// Identifiers of UI Automation that MinGW's headers lack (its
// uiautomationcoreapi.h does not compile as C++).
constexpr long RootObjectId = -25;
constexpr PATTERNID WindowPatternId = 10009;
constexpr PROPERTYID ControlTypePropertyId = 30003;
constexpr PROPERTYID NamePropertyId = 30005;
constexpr PROPERTYID IsKeyboardFocusablePropertyId = 30009;
constexpr long WindowControlTypeId = 50032;
constexpr int NotificationKindOther = 4;
constexpr int NotificationProcessingImportantMostRecent = 1;
constexpr int WindowVisualStateNormal = 0;
constexpr int WindowInteractionStateReadyForUserInteraction = 2;
constexpr const wchar_t *ActivityId = L"Pagekeep.Card";
constexpr const wchar_t *ElementName = L"Pagekeep";
constexpr std::size_t SpokenDetailLength = 300;

// IWindowProvider, which MinGW's headers lack. The card is a popup window,
// and the system asks a popup that raises notifications for this pattern.
const IID WindowProviderId = {
    0x987df77b, 0xdb06, 0x4d77, {0x8f, 0x8a, 0x86, 0xa9, 0xc3, 0xbb, 0x90, 0xb9}};
struct IWindowProviderOwn : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetVisualState(int aState) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE WaitForInputIdle(int aMilliseconds, BOOL *aResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanMaximize(BOOL *aResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanMinimize(BOOL *aResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsModal(BOOL *aResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WindowVisualState(int *aResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WindowInteractionState(int *aResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsTopmost(BOOL *aResult) = 0;
};

using TReturnProvider = LRESULT(WINAPI *)(HWND, WPARAM, LPARAM, IRawElementProviderSimple *);
using THostProvider = HRESULT(WINAPI *)(HWND, IRawElementProviderSimple **);
using TRaiseNotification = HRESULT(WINAPI *)(IRawElementProviderSimple *, int, int, BSTR, BSTR);

// Loaded once and kept for the process's life: UI Automation's own threads
// may still run in it after the card's window has gone.
HMODULE AutomationCore() {
  static const HMODULE module =
      ::LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return module;
}

template <class T> T AutomationFunction(const char *aName) {
  const HMODULE module = AutomationCore();
  if (!module)
    return nullptr;
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(::GetProcAddress(module, aName)));
}

// The card's element: a window that never takes the keyboard focus. UI
// Automation may call it on any thread; it only reads the window handle.
class TCardProvider final : public IRawElementProviderSimple, public IWindowProviderOwn {
public:
  explicit TCardProvider(HWND aWindow) : fWindow(aWindow) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID aId, void **aObject) override {
    if (!aObject)
      return E_POINTER;
    if (IsEqualIID(aId, IID_IUnknown) || IsEqualIID(aId, IID_IRawElementProviderSimple))
      *aObject = static_cast<IRawElementProviderSimple *>(this);
    else if (IsEqualIID(aId, WindowProviderId))
      *aObject = static_cast<IWindowProviderOwn *>(this);
    else {
      *aObject = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++fReferences; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --fReferences;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions *aResult) override {
    if (!aResult)
      return E_POINTER;
    *aResult = ProviderOptions_ServerSideProvider;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID aPattern, IUnknown **aResult) override {
    if (!aResult)
      return E_POINTER;
    *aResult = nullptr;
    if (aPattern == WindowPatternId) {
      *aResult = static_cast<IWindowProviderOwn *>(this);
      AddRef();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID aProperty, VARIANT *aResult) override {
    if (!aResult)
      return E_POINTER;
    ::VariantInit(aResult);
    if (aProperty == NamePropertyId) {
      aResult->bstrVal = ::SysAllocString(ElementName);
      if (!aResult->bstrVal)
        return E_OUTOFMEMORY;
      aResult->vt = VT_BSTR;
    } else if (aProperty == ControlTypePropertyId) {
      aResult->vt = VT_I4;
      aResult->lVal = WindowControlTypeId;
    } else if (aProperty == IsKeyboardFocusablePropertyId) {
      aResult->vt = VT_BOOL;
      aResult->boolVal = VARIANT_FALSE;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE
  get_HostRawElementProvider(IRawElementProviderSimple **aResult) override {
    if (!aResult)
      return E_POINTER;
    *aResult = nullptr;
    const auto host = AutomationFunction<THostProvider>("UiaHostProviderFromHwnd");
    return host ? host(fWindow, aResult) : S_OK;
  }

  // The card comes and goes by itself: the user neither moves nor closes it.
  HRESULT STDMETHODCALLTYPE SetVisualState(int) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE WaitForInputIdle(int, BOOL *aResult) override {
    return Answer(aResult, TRUE);
  }
  HRESULT STDMETHODCALLTYPE get_CanMaximize(BOOL *aResult) override {
    return Answer(aResult, FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_CanMinimize(BOOL *aResult) override {
    return Answer(aResult, FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_IsModal(BOOL *aResult) override { return Answer(aResult, FALSE); }
  HRESULT STDMETHODCALLTYPE get_WindowVisualState(int *aResult) override {
    return Answer(aResult, WindowVisualStateNormal);
  }
  HRESULT STDMETHODCALLTYPE get_WindowInteractionState(int *aResult) override {
    return Answer(aResult, WindowInteractionStateReadyForUserInteraction);
  }
  HRESULT STDMETHODCALLTYPE get_IsTopmost(BOOL *aResult) override { return Answer(aResult, TRUE); }

private:
  template <class T> static HRESULT Answer(T *aResult, T aValue) {
    if (!aResult)
      return E_POINTER;
    *aResult = aValue;
    return S_OK;
  }

  HWND fWindow;
  std::atomic<ULONG> fReferences{1};
};

// Owns a BSTR; empty for an empty text.
class TBString {
public:
  explicit TBString(const std::wstring &aText)
      : fText(::SysAllocStringLen(aText.data(), static_cast<UINT>(aText.size()))) {}
  ~TBString() { ::SysFreeString(fText); }
  TBString(const TBString &) = delete;
  TBString &operator=(const TBString &) = delete;
  BSTR Get() const noexcept { return fText; }

private:
  BSTR fText;
};

} // namespace

std::wstring SpokenCardText(const std::wstring &aCaption, const std::wstring &aShortDescription,
                            const std::wstring &aDetail, bool aIsPicture, bool aWithContent) {
  std::wstring text = aCaption;
  auto add = [&](const std::wstring &aPart) {
    if (aPart.empty())
      return;
    text += (text.empty() ? L"" : L". ") + aPart;
  };
  add(aShortDescription);
  if (!aWithContent)
    return text;
  if (aIsPicture) {
    add(L"Picture");
    return text;
  }
  std::wstring detail = aDetail.substr(0, SpokenDetailLength);
  for (wchar_t &c : detail)
    if (c == L'\r' || c == L'\n' || c == L'\t')
      c = L' ';
  add(detail);
  return text;
}

TScreenReaderSystem SystemScreenReader() {
  TScreenReaderSystem system;
  system.ReaderRunning = [] {
    BOOL running = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENREADER, 0, &running, 0) != FALSE &&
           running != FALSE;
  };
  system.Notify = [](IRawElementProviderSimple *aProvider, const std::wstring &aText) {
    const auto raise = AutomationFunction<TRaiseNotification>("UiaRaiseNotificationEvent");
    if (!raise)
      return false;
    const TBString text(aText);
    const TBString activity(ActivityId);
    return SUCCEEDED(raise(aProvider, NotificationKindOther,
                           NotificationProcessingImportantMostRecent, text.Get(), activity.Get()));
  };
  return system;
}

TScreenReaderNotice::TScreenReaderNotice(HWND aWindow, TScreenReaderSystem aSystem)
    : fWindow(aWindow), fSystem(std::move(aSystem)), fProvider(new TCardProvider(aWindow)) {}

// UI Automation may hold the provider in its map of raised events until told
// that the window is going.
TScreenReaderNotice::~TScreenReaderNotice() {
  if (fProviderReturned)
    if (const auto give = AutomationFunction<TReturnProvider>("UiaReturnRawElementProvider"))
      give(fWindow, 0, 0, nullptr);
  fProvider->Release();
}

bool TScreenReaderNotice::Say(const std::wstring &aCaption, const std::wstring &aShortDescription,
                              const std::wstring &aDetail, bool aIsPicture) {
  if (!fEnabled || !fSystem.ReaderRunning())
    return false;
  return fSystem.Notify(
      fProvider, SpokenCardText(aCaption, aShortDescription, aDetail, aIsPicture, fSpeaksContent));
}

std::optional<LRESULT> TScreenReaderNotice::AnswerGetObject(WPARAM aWParam, LPARAM aLParam) {
  if (static_cast<long>(aLParam) != RootObjectId)
    return std::nullopt;
  const auto give = AutomationFunction<TReturnProvider>("UiaReturnRawElementProvider");
  if (!give)
    return std::nullopt;
  fProviderReturned = true;
  return give(fWindow, aWParam, aLParam, fProvider);
}
