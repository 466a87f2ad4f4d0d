#include "clipboard/ClipboardStateContainer.h"

#include "shared/Trace.h"

#include "clipboard/ClipboardSession.h"
#include "clipboard/TaggedStream.h"
#include "shared/Handles.h"

#include <algorithm>
#include <cwctype>
#include <stdexcept>

void TClipboardStateContainer::Add(std::unique_ptr<TClipboardFormatState> aFormat) {
  if (!aFormat)
    throw std::invalid_argument("TClipboardStateContainer::Add needs a format");
  fItems.push_back(std::move(aFormat));
}

const TClipboardFormatState &TClipboardStateContainer::operator[](int aIndex) const {
  if (aIndex < 0 || aIndex >= Count())
    throw std::out_of_range("Format index out of range");
  return *fItems[static_cast<std::size_t>(aIndex)];
}

void TClipboardStateContainer::SaveToStream(TStream &aStream) const {
  TTaggedWriter writer(aStream);
  writer.WriteInteger(Count());
  for (const TClipboardFormatState &format : *this) {
    writer.WriteInteger(format.Format());
    writer.WriteString(format.Name());
    writer.WriteInteger(static_cast<std::int64_t>(format.Data().size()));
    writer.WriteBytes(format.Data().data(), format.Data().size());
  }
  writer.Flush();
}

namespace {

std::unique_ptr<TClipboardFormatState> ReadFormat(TTaggedReader &aReader) {
  const std::int32_t id = aReader.ReadInteger();
  if (id < 0 || id > 0xFFFF)
    throw EInvalidPropertyValue();
  std::wstring name = aReader.ReadString();
  const std::int32_t size = aReader.ReadInteger();
  if (size < 0)
    throw EInvalidPropertyValue();
  // Checked before allocating, so a corrupt size cannot ask for gigabytes.
  if (size > aReader.Remaining())
    throw EStreamReadError();
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  aReader.ReadBytes(data.data(), data.size());
  return std::make_unique<TClipboardFormatState>(static_cast<WORD>(id), std::move(name),
                                                 std::move(data));
}

} // namespace

std::unique_ptr<TClipboardStateContainer>
TClipboardStateContainer::LoadFromStream(TStream &aStream) {
  auto container = std::make_unique<TClipboardStateContainer>();
  TTaggedReader reader(aStream);
  const std::int32_t count = reader.ReadInteger();
  for (std::int32_t i = 0; i < count; ++i)
    container->Add(ReadFormat(reader));
  reader.Finish();
  return container;
}

namespace {

std::wstring Lowercase(std::wstring aText) {
  if (!aText.empty())
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, aText.data(),
                    static_cast<int>(aText.size()), aText.data(), static_cast<int>(aText.size()),
                    nullptr, nullptr, 0);
  return aText;
}

std::wstring OwnExecutablePath() {
  std::wstring path(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

std::wstring ProcessImagePath(DWORD aProcessId) {
  TKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, aProcessId));
  if (!process)
    return {};
  std::wstring path(8192, L'\0');
  DWORD length = static_cast<DWORD>(path.size());
  if (!::QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length))
    return {};
  path.resize(length);
  return path;
}

std::wstring WindowCaption(HWND aWindow) {
  const int length = ::GetWindowTextLengthW(aWindow);
  if (length <= 0)
    return {};
  std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
  const int read = ::GetWindowTextW(aWindow, caption.data(), length + 1);
  caption.resize(static_cast<std::size_t>(std::max(read, 0)));
  return caption;
}

} // namespace

TActiveApplication GetActiveApplication() {
  TActiveApplication application;
  const HWND window = ::GetForegroundWindow();
  if (!window)
    return application;
  application.Caption = WindowCaption(window);
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  if (processId == 0)
    return application;
  application.Path = ProcessImagePath(processId);
  if (Lowercase(application.Path) == Lowercase(OwnExecutablePath()))
    return {};
  return application;
}

TClipboardState CaptureClipboardState(bool aDetectApplication) {
  auto container = std::make_unique<TClipboardStateContainer>(
      aDetectApplication ? GetActiveApplication() : TActiveApplication());
  if (!Clipboard().TryOpen(ClipboardOpenPatience))
    return TAutoPtr::Make(std::move(container));
  struct TCloser {
    ~TCloser() { Clipboard().Close(); }
  } closer;
  const int count = ::CountClipboardFormats();
  UINT format = 0;
  for (int i = 0; i < count; ++i) {
    format = ::EnumClipboardFormats(format);
    if (format == 0)
      break;
    try {
      if (format <= 0xFFFF)
        container->Add(std::make_unique<TClipboardFormatState>(static_cast<WORD>(format)));
    } catch (const std::exception &) {
      // One unreadable format is left out; the others are still captured.
      TraceDroppedError();
    }
  }
  return TAutoPtr::Make(std::move(container));
}

void RestoreClipboardState(const TClipboardState &aState) {
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
  for (const TClipboardFormatState &format : aState())
    format.Restore();
}
