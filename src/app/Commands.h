#pragma once

// The program's commands in one table: what each does, its default hotkey,
// its tray-menu item and the mark that item shows. The hotkeys are
// registered in the table's order, so their ids follow it; the menu takes
// its items by their menu order. Adding a command is adding a row.

#include "app/HotkeyNames.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TCommandAction : std::uint8_t {
  SelectPage,
  NextPage,
  PreviousPage,
  PreviousHistory,
  NextHistory,
  PrivateMode,
  PageInformation,
  ClipboardFormats,
  KeepPages,
  Settings,
  Close,
  ShowPages
};

enum class TMenuPlace : std::uint8_t { None, TopLevel, PageSubmenu };
// The mark an item shows: none, a check (on or off), a radio dot.
enum class TMenuMark : std::uint8_t { None, Check, Radio };

struct TCommandRow {
  // Stable: the name other processes and stored settings know it by.
  std::wstring Name;
  TCommandAction Action;
  // The page of SelectPage; 0 for the others.
  int Page = 0;
  THotkeyCombination DefaultHotkey;
  // The caption without its keys; empty for a command with no item.
  std::wstring Caption;
  TMenuPlace Place = TMenuPlace::None;
  // The item's place among the top level's items (see the tray).
  int MenuOrder = 0;
  TMenuMark Mark = TMenuMark::None;
};

const std::vector<TCommandRow> &CommandTable();

// What the user reads for a command where it has no caption of its own
// (settings, messages): "Page 3", "Page 3 (second key)", "Next page".
std::wstring CommandTitle(const TCommandRow &aRow);

// The caption with the keys in force: "Next page [Alt+Win+Right]"; the
// caption alone for no hotkey.
std::wstring MenuCaption(const TCommandRow &aRow, const THotkeyCombination &aHotkey);
