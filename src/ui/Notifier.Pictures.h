#pragma once

#include "analysis/TBitmap.h"

#include <map>
#include <string>
#include <string_view>

// The card's own pictures, drawn here as line art so that they stay
// editable as code: eight 64 x 64 pictures for the icon box and the 32 x 32
// warning badge. They need a running GDI+ session.
namespace Pictures {

constexpr int PictureSize = 64;
constexpr int BadgeSize = 32;
// The line colour of every named picture: opaque mid grey.
constexpr TAlphaColor PictureStrokeColor = 0xFF929292;

// The names, in the order the list holds them.
constexpr std::wstring_view Names[] = {L"Hello",    L"Search",  L"Private", L"Enabled",
                                       L"Download", L"Updated", L"Actual",  L"Empty"};

// One named picture, drawn anew; throws std::invalid_argument for a name
// that is not one of Names.
TBitmap Draw(std::wstring_view aName);

// The yellow warning triangle with an exclamation mark.
TBitmap DrawWarningBadge();

// The named pictures, drawn once; lookups hand out the list's own bitmaps.
class TPictureList {
public:
  TPictureList();
  // The picture of that name, or null when the list has none.
  const TBitmap *Find(std::wstring_view aName) const;

private:
  std::map<std::wstring, TBitmap, std::less<>> fPictures;
};

} // namespace Pictures
