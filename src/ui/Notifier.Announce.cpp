// TNotifier, announcements: describing a snapshot and showing a page or history card.
#include "ui/Notifier.h"

#include "shared/Trace.h"

#include <exception>
#include <memory>

namespace {

bool IsPictureFormat(WORD aFormat) {
  switch (aFormat) {
  case CF_BITMAP:
  case CF_METAFILEPICT:
  case CF_DIB:
  case CF_ENHMETAFILE:
  case CF_DIBV5:
    return true;
  default:
    return false;
  }
}

// The snapshot less its pictures: what is left to describe when a picture
// cannot be decoded.
TClipboardState WithoutPictures(const TClipboardStateContainer &aState) {
  auto reduced = std::make_unique<TClipboardStateContainer>(aState.ActiveApplication());
  for (const TClipboardFormatState &format : aState)
    if (!IsPictureFormat(format.Format()))
      reduced->Add(
          std::make_unique<TClipboardFormatState>(format.Format(), format.Name(), format.Data()));
  return TAutoPtr::Make(std::move(reduced));
}

} // namespace

// An analyzer that fails (on an undecodable picture, say) must not cost the
// user the announcement: the page is then described without its pictures,
// and when even that fails, as content of an unknown format.
TAuto<TDescription> TNotifier::Describe(const TClipboardState &aState) {
  try {
    return ClipboardAnalyzers().DescriptionForState(aState);
  } catch (const std::exception &) {
    TraceDroppedError();
  }
  try {
    TClipboardState reduced = WithoutPictures(aState());
    if (reduced().Count() > 0 && reduced().Count() < aState().Count())
      return ClipboardAnalyzers().DescriptionForState(reduced);
  } catch (const std::exception &) {
    TraceDroppedError();
  }
  return TDescription::CreateUnknownDescription(aState);
}

void TNotifier::ShowPageAnnounce(int aPage, const TClipboardState &aState) {
  SetBackgroundColor(PageBackground);
  const std::wstring caption = L"Clipboard page " + std::to_wstring(aPage);
  if (aState && aState().Count() > 0) {
    const TAuto<TDescription> description = Describe(aState);
    SetBackgroundColor(description().Color());
    ShowInfo(caption, description, false, AnnounceTime);
  } else {
    ShowInfo(caption, L"Empty", L"", false, ImageByName(L"Empty"), AnnounceTime);
  }
}

void TNotifier::ShowHistoryPageAnnounce(int aActiveHistoryPage, const TClipboardState &aEntry) {
  SetBackgroundColor(HistoryBackground);
  if (aActiveHistoryPage >= 0 || !aEntry)
    return;
  const TAuto<TDescription> description = Describe(aEntry);
  SetBackgroundColor(description().Color());
  ShowInfo(L"Clipboard history " + std::to_wstring(aActiveHistoryPage), description, true,
           AnnounceTime);
}
