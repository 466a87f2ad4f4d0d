// TClipboardStateContainer: packing a snapshot and reading a packed one.
#include "clipboard/ClipboardStateContainer.h"

#include "clipboard/ClipboardStream.Packed.h"

std::uint64_t TClipboardStateContainer::NextContentId() noexcept {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

std::size_t TClipboardStateContainer::DataSize() const noexcept {
  if (fPacked)
    return fPacked->StreamSize;
  std::size_t size = 0;
  for (const auto &format : fItems)
    size += format->Data().size();
  return size;
}

const TClipboardStateContainer::TItems &TClipboardStateContainer::Items() const {
  if (fPacked)
    std::call_once(fUnpackOnce, [this] {
      UnpackItems();
      fUnpacked = true;
    });
  return fItems;
}

void TClipboardStateContainer::UnpackItems() const {
  TInflateStream stream(*fPacked);
  fItems = std::move(LoadFromStream(stream)->fItems);
}

std::unique_ptr<TClipboardStateContainer>
TClipboardStateContainer::MakePacked(const TClipboardStateContainer &aFrom,
                                     std::shared_ptr<const TPackedContent> aPacked) {
  auto packed = std::make_unique<TClipboardStateContainer>(aFrom.fActiveApplication);
  packed->fLeftOut = aFrom.fLeftOut;
  packed->fPacked = std::move(aPacked);
  packed->fContentId = aFrom.fContentId;
  return packed;
}

TClipboardState TClipboardStateContainer::Pack(const TClipboardState &aState,
                                               const TPackGate &aGate) {
  const TClipboardStateContainer &from = aState();
  if (from.fPackedOrigin)
    return TAutoPtr::Make(MakePacked(from, from.fPackedOrigin));
  if (from.IsPacked() || from.DataSize() < MinimumPackedSize)
    return {};
  auto content = std::make_shared<TPackedContent>();
  {
    TDeflateStream deflater(aGate);
    try {
      from.SaveToStream(deflater);
    } catch (const EPackingStopped &) {
      // handled: given up (the program is closing); the snapshot stays as it is
      return {};
    }
    content->StreamSize = deflater.Written();
    content->Deflated = deflater.Finish();
  }
  content->Count = from.Count();
  if (content->Deflated.size() > content->StreamSize / 4 * 3)
    return {};
  return TAutoPtr::Make(MakePacked(from, std::move(content)));
}

TClipboardState TClipboardStateContainer::Unpack(const TClipboardState &aState) {
  const TClipboardStateContainer &from = aState();
  if (!from.fPacked)
    return aState;
  TInflateStream stream(*from.fPacked);
  auto unpacked = LoadFromStream(stream);
  unpacked->fActiveApplication = from.fActiveApplication;
  unpacked->fLeftOut = from.fLeftOut;
  unpacked->fContentId = from.fContentId;
  unpacked->fPackedOrigin = from.fPacked;
  return TAutoPtr::Make(std::move(unpacked));
}

TClipboardState TClipboardStateContainer::Repack(const TClipboardState &aState) {
  const TClipboardStateContainer &from = aState();
  if (!from.fPacked || !from.fUnpacked.load())
    return aState;
  return TAutoPtr::Make(MakePacked(from, from.fPacked));
}
