#include "clipboard/ClipboardStateContainer.h"

#include "shared/Trace.h"

#include "clipboard/ClipboardSession.h"
#include "clipboard/ClipboardStream.Packed.h"
#include "clipboard/TaggedStream.h"
#include "shared/Handles.h"

#include <algorithm>
#include <cwctype>
#include <optional>
#include <stdexcept>

void TClipboardStateContainer::Add(std::unique_ptr<TClipboardFormatState> aFormat) {
  if (!aFormat)
    throw std::invalid_argument("TClipboardStateContainer::Add needs a format");
  if (fPacked)
    throw std::logic_error("TClipboardStateContainer::Add on a packed snapshot");
  fItems.push_back(std::move(aFormat));
  const TClipboardFormatState &added = *fItems.back();
  if (const auto reason = added.LeftOutReason())
    AddLeftOut({FormatDisplayName(added.Format(), added.Name()), *reason});
}

void TClipboardStateContainer::AddLeftOut(TLeftOutFormat aFormat) {
  fLeftOut.push_back(std::move(aFormat));
}

const std::vector<TLeftOutFormat> &TClipboardStateContainer::LeftOut() const noexcept {
  return fLeftOut;
}

const TClipboardFormatState &TClipboardStateContainer::operator[](int aIndex) const {
  if (aIndex < 0 || aIndex >= Count())
    throw std::out_of_range("Format index out of range");
  return *Items()[static_cast<std::size_t>(aIndex)];
}

namespace {

void WriteFormat(TTaggedWriter &aWriter, const TClipboardFormatState &aFormat) {
  const TBytes head = TClipboardStateContainer::FormatRecordHead(aFormat.Format(), aFormat.Name(),
                                                                 aFormat.Data().size());
  aWriter.WriteBytes(head.data(), head.size());
  aWriter.WriteBytes(aFormat.Data().data(), aFormat.Data().size());
}

struct TRecordHead {
  WORD Format;
  std::wstring Name;
  std::size_t Size;
};

TRecordHead ReadRecordHead(TTaggedReader &aReader) {
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
  return {static_cast<WORD>(id), std::move(name), static_cast<std::size_t>(size)};
}

std::unique_ptr<TClipboardFormatState> ReadRecordData(TTaggedReader &aReader, TRecordHead aHead) {
  std::vector<std::uint8_t> data(aHead.Size);
  aReader.ReadBytes(data.data(), data.size());
  return std::make_unique<TClipboardFormatState>(aHead.Format, std::move(aHead.Name),
                                                 std::move(data));
}

std::unique_ptr<TClipboardFormatState> ReadFormat(TTaggedReader &aReader) {
  return ReadRecordData(aReader, ReadRecordHead(aReader));
}

// Passes over a record's data that is not put back.
void SkipBytes(TTaggedReader &aReader, std::size_t aCount) {
  std::uint8_t scratch[4096];
  while (aCount > 0) {
    const std::size_t piece = std::min(aCount, sizeof scratch);
    aReader.ReadBytes(scratch, piece);
    aCount -= piece;
  }
}

// One record of a packed snapshot onto the open clipboard. A block is
// inflated straight into the memory handed to the clipboard: one pass over
// its bytes, none into a format of its own first.
std::optional<TLeftOutReason> RestoreRecord(TTaggedReader &aReader, TRecordHead aHead) {
  if (aHead.Size == 0 || !TClipboardFormatState::IsKeptAsBlock(aHead.Format))
    return ReadRecordData(aReader, std::move(aHead))->Restore();
  bool filled = false;
  const std::optional<TLeftOutReason> reason =
      TClipboardFormatState::RestoreBlock(aHead.Format, aHead.Size, [&](void *aTo) {
        filled = true;
        aReader.ReadBytes(aTo, aHead.Size);
      });
  if (!filled)
    SkipBytes(aReader, aHead.Size);
  return reason;
}

} // namespace

std::vector<std::uint8_t> TClipboardStateContainer::FormatRecordHead(WORD aFormat,
                                                                     const std::wstring &aName,
                                                                     std::size_t aDataSize) {
  TBytes head;
  AppendTaggedInteger(head, aFormat);
  AppendTaggedString(head, aName);
  AppendTaggedInteger(head, static_cast<std::int64_t>(aDataSize));
  return head;
}

void TClipboardStateContainer::SaveToStream(TStream &aStream) const {
  if (fPacked) {
    // The deflated bytes are this very encoding: written back as they were.
    InflatePackedContent(*fPacked, aStream);
    return;
  }
  TTaggedWriter writer(aStream);
  writer.WriteInteger(Count());
  for (const TClipboardFormatState &format : *this)
    WriteFormat(writer, format);
  writer.Flush();
}

void TClipboardStateContainer::SaveFormatToStream(const TClipboardFormatState &aFormat,
                                                  TStream &aStream) {
  TTaggedWriter writer(aStream);
  WriteFormat(writer, aFormat);
  writer.Flush();
}

std::unique_ptr<TClipboardFormatState>
TClipboardStateContainer::LoadFormatFromStream(TStream &aStream) {
  TTaggedReader reader(aStream);
  auto format = ReadFormat(reader);
  reader.Finish();
  return format;
}

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
  // A copy made in our own windows has no source. Compared by process, not
  // by path: another program started from the same file (a second copy, the
  // updater) is a source of its own.
  if (processId == ::GetCurrentProcessId())
    return {};
  application.Path = ProcessImagePath(processId);
  return application;
}

std::vector<UINT> ClipboardFormatIds(int aCount, UINT(WINAPI *aNext)(UINT)) {
  std::vector<UINT> ids;
  UINT format = 0;
  // Steps taken in the current walk; -1 after a failed step.
  int position = 0;
  for (int index = 0; index < aCount; ++index) {
    if (position != index) {
      format = 0;
      for (position = 0; position < index; ++position)
        if ((format = aNext(format)) == 0)
          break;
      if (position != index) {
        position = -1;
        continue;
      }
    }
    const UINT next = aNext(format);
    if (next == 0) {
      position = -1;
      continue;
    }
    format = next;
    position = index + 1;
    ids.push_back(next);
  }
  return ids;
}

TClipboardState CaptureClipboardState(bool aDetectApplication) {
  auto container = std::make_unique<TClipboardStateContainer>(
      aDetectApplication ? GetActiveApplication() : TActiveApplication());
  const TClipboardSession session(std::try_to_lock, ClipboardOpenPatience);
  if (!session.Opened())
    return TAutoPtr::Make(std::move(container));
  for (const UINT format : ClipboardFormatIds(::CountClipboardFormats())) {
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

// A packed snapshot goes on the clipboard from its deflated bytes, unless
// reading it has unpacked it already; it stays packed.
std::vector<TLeftOutFormat> RestoreClipboardState(const TClipboardState &aState) {
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
  if (!aState().HoldsUnpackedFormats())
    return aState().RestorePackedFormats();
  std::vector<TLeftOutFormat> skipped;
  for (const TClipboardFormatState &format : aState())
    if (const std::optional<TLeftOutReason> reason = format.Restore())
      skipped.push_back({FormatDisplayName(format.Format(), format.Name()), *reason});
  return skipped;
}

std::vector<TLeftOutFormat> TClipboardStateContainer::RestorePackedFormats() const {
  TInflateStream stream(*fPacked);
  TTaggedReader reader(stream);
  std::vector<TLeftOutFormat> skipped;
  const std::int32_t count = reader.ReadInteger();
  for (std::int32_t i = 0; i < count; ++i) {
    TRecordHead head = ReadRecordHead(reader);
    const std::wstring name = FormatDisplayName(head.Format, head.Name);
    if (const std::optional<TLeftOutReason> reason = RestoreRecord(reader, std::move(head)))
      skipped.push_back({name, *reason});
  }
  reader.Finish();
  return skipped;
}
