// TMainForm, hotkey choices: the keys in force, changed by the user, kept in the registry.
#include "app/MainForm.h"

#include "app/ScreenReaderSetting.h"
#include "shared/Trace.h"

namespace {
constexpr std::uint32_t SettingsCardTime = 8000;
} // namespace

// At start, before the menu and the hotkeys: what the user chose is in force
// from the first key. Values that name no combination leave their commands
// with the defaults and are reported once, after the start-up messages.
void TMainForm::LoadHotkeyChoices() {
  try {
    fHotkeyChoices = ReadHotkeyChoices(fOptions.AppKey);
  } catch (const std::exception &) {
    TraceDroppedError();
    fHotkeyChoices = {};
    return;
  }
  if (fHotkeyChoices.Unreadable.empty())
    return;
  std::wstring list;
  for (const TUnreadableHotkey &value : fHotkeyChoices.Unreadable)
    list += (list.empty() ? L"" : L", ") + value.Command + L" (\"" + value.Text + L"\")";
  const std::wstring message =
      L"These hotkey settings could not be read, so their default keys are in force: " + list +
      L".";
  fStartupCards.Add([this, message] { ShowWarningCard(L"Hotkey settings", message); },
                    SettingsCardTime);
}

THotkeyCombination TMainForm::HotkeyInForce(std::size_t aRow) const {
  const TCommandRow &row = CommandTable().at(aRow);
  const auto chosen = fHotkeyChoices.Chosen.find(row.Name);
  return chosen == fHotkeyChoices.Chosen.end() ? row.DefaultHotkey : chosen->second;
}

bool TMainForm::HotkeyTaken(std::size_t aRow) const {
  const TGlobalHotkey *hotkey = HotkeyOfRow(aRow);
  return hotkey && !hotkey->Registered();
}

void TMainForm::ShowSettings() {
  if (!fSettings || !fSettings->Handle())
    fSettings = std::make_unique<TSettingsWindow>(*this);
  fSettings->Show();
}

// The new combination is registered before the old one is released, and
// saved before it replaces it: a refusal at any step leaves the old one in
// force and in the registry.
void TMainForm::ChangeHotkey(std::size_t aRow, THotkeyCombination aHotkey) {
  const std::vector<TCommandRow> &table = CommandTable();
  const TCommandRow &command = table.at(aRow);
  const THotkeyCombination old = HotkeyInForce(aRow);
  if (aHotkey == old)
    return;
  std::unique_ptr<TGlobalHotkey> fresh;
  if (!aHotkey.Empty()) {
    for (std::size_t other = 0; other < table.size(); ++other)
      if (other != aRow && HotkeyInForce(other) == aHotkey)
        throw EHotkeyRefused(HotkeyName(aHotkey) + L" is already the hotkey of " +
                             CommandTitle(table[other]) + L".");
    fresh = MakeHotkey(aRow, aHotkey);
    if (!fresh->Registered())
      throw EHotkeyRefused(HotkeyName(aHotkey) + L" is taken by another program." +
                           (old.Empty() ? L"" : L" " + HotkeyName(old) + L" stays in force."));
  }
  WriteHotkeyChoice(fOptions.AppKey, command.Name, aHotkey);
  fHotkeyChoices.Chosen[command.Name] = aHotkey;
  PutHotkeyOfRow(aRow, std::move(fresh));
  MarkTakenHotkeysInMenu();
}

// Every command back to its default, as at a first start: a default that
// another program holds stays dead and is marked.
void TMainForm::RestoreDefaultHotkeys() {
  ClearHotkeyChoices(fOptions.AppKey);
  fHotkeyChoices = {};
  ReleaseShortcuts();
  RegisterShortcuts();
  MarkTakenHotkeysInMenu();
}

// Keeps the hotkeys in the table's order, so their ids and positions follow
// the rows; a null hotkey removes the row's.
void TMainForm::PutHotkeyOfRow(std::size_t aRow, std::unique_ptr<TGlobalHotkey> aHotkey) {
  std::size_t at = 0;
  while (at < fHotkeyRows.size() && fHotkeyRows[at] < aRow)
    ++at;
  const bool present = at < fHotkeyRows.size() && fHotkeyRows[at] == aRow;
  const auto position = static_cast<std::ptrdiff_t>(at);
  if (aHotkey && present) {
    fHotkeys[at] = std::move(aHotkey);
  } else if (aHotkey) {
    fHotkeys.insert(fHotkeys.begin() + position, std::move(aHotkey));
    fHotkeyRows.insert(fHotkeyRows.begin() + position, aRow);
  } else if (present) {
    fHotkeys.erase(fHotkeys.begin() + position);
    fHotkeyRows.erase(fHotkeyRows.begin() + position);
  }
}

bool TMainForm::ScreenReaderNotices() const {
  return fNotifier->ScreenReader().Enabled();
}

void TMainForm::SetScreenReaderNotices(bool aOn) {
  SetScreenReaderNoticesSetting(fOptions.AppKey, aOn);
  fNotifier->ScreenReader().SetEnabled(aOn);
}
