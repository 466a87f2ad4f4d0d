// TMainForm, taken hotkeys: the combinations another program holds and the card that reports them.
#include "app/MainForm.h"

#include "shared/Trace.h"

#include "app/TakenHotkeys.h"

namespace {
constexpr std::uint32_t WarningCardTime = 8000;
} // namespace

// In registration order, so the report lists them as the table does.
std::vector<std::wstring> TMainForm::TakenHotkeyNames() const {
  std::vector<std::wstring> names;
  for (const auto &hotkey : fHotkeys)
    if (!hotkey->Registered())
      names.push_back(HotkeyName(hotkey->Key(), hotkey->Modifiers()));
  return names;
}

// Once per start, after the start-up messages; the combinations stay dead
// (no retry, no other combination): the tray menu has their commands.
void TMainForm::ReportTakenHotkeys() {
  const std::wstring message = TakenHotkeysMessage(TakenHotkeyNames());
  if (message.empty())
    return;
  fStartupCards.Add([this, message] { ShowWarningCard(L"Hotkeys taken", message); },
                    WarningCardTime);
}

// A card that tells the user something went wrong at start-up: its text is
// the detailed line (it wraps), with the warning badge.
void TMainForm::ShowWarningCard(const std::wstring &aCaption, const std::wstring &aText) {
  Announce(aText);
  try {
    TCardRequest card =
        MakeCard(aCaption, L"", TCardPicture::None, TCardTone::Warning, WarningCardTime);
    card.DetailedDescription = aText;
    card.WarningBadge = true;
    fNotifier->ShowCard(card);
  } catch (const std::exception &) {
    // The text is in the announcement record; a card that cannot be drawn
    // must not stop the start.
    TraceDroppedError();
  }
}
