#pragma once

// What a card with free texts shows, as the layers above the card ask for it:
// the texts, a picture by its part in the message, and a tone. Which colour a
// tone has is decided here, in one place, for every card of the program.

#include "analysis/TBitmap.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// The message a card gives, which chooses its background.
enum class TCardTone : std::uint8_t {
  // An ordinary message (start-up, information): the card's neutral colour.
  Neutral,
  // Private mode has just been switched on.
  PrivateMode,
  // Normal mode is back.
  NormalMode,
  // Something could not be done as asked.
  Warning
};

// The card's own pictures (see Pictures::Names), and none.
enum class TCardPicture : std::uint8_t {
  None,
  Hello,
  Search,
  Private,
  Enabled,
  Download,
  Updated,
  Actual,
  Empty
};

struct TCardRequest {
  std::wstring Caption;
  std::wstring ShortDescription;
  std::wstring DetailedDescription;
  TCardPicture Picture = TCardPicture::None;
  TCardTone Tone = TCardTone::Neutral;
  // The yellow warning badge at the top right.
  bool WarningBadge = false;
  // How long the card stays, in ms.
  std::uint32_t DisplayTime = 4000;
};

// A card with a caption and a short line (the common shape of the
// program's own messages).
inline TCardRequest MakeCard(std::wstring aCaption, std::wstring aShortDescription,
                             TCardPicture aPicture, TCardTone aTone, std::uint32_t aDisplayTime) {
  TCardRequest request;
  request.Caption = std::move(aCaption);
  request.ShortDescription = std::move(aShortDescription);
  request.Picture = aPicture;
  request.Tone = aTone;
  request.DisplayTime = aDisplayTime;
  return request;
}

// The one warning orange of every card that reports a failure.
constexpr TAlphaColor WarningToneColor = 0xFFE08A1E;

constexpr TAlphaColor CardToneColor(TCardTone aTone) noexcept {
  switch (aTone) {
  case TCardTone::PrivateMode:
    return 0xFFED3B45;
  case TCardTone::NormalMode:
    return 0xFF2DC022;
  case TCardTone::Warning:
    return WarningToneColor;
  case TCardTone::Neutral:
    break;
  }
  return DefaultBackgroundColor;
}

// The name the notifier's picture list knows the picture by; empty for none.
constexpr std::wstring_view CardPictureName(TCardPicture aPicture) noexcept {
  switch (aPicture) {
  case TCardPicture::Hello:
    return L"Hello";
  case TCardPicture::Search:
    return L"Search";
  case TCardPicture::Private:
    return L"Private";
  case TCardPicture::Enabled:
    return L"Enabled";
  case TCardPicture::Download:
    return L"Download";
  case TCardPicture::Updated:
    return L"Updated";
  case TCardPicture::Actual:
    return L"Actual";
  case TCardPicture::Empty:
    return L"Empty";
  case TCardPicture::None:
    break;
  }
  return {};
}
