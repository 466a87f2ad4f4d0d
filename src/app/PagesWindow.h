#pragma once

// The pages window: pages 0-9 and then the history, newest first, each row
// as the card would describe it. Keys as in the pickers users know: digits
// jump to a page, arrows and Page Up/Down/Home/End move, Enter puts the item
// on the clipboard and pastes it into the window that was in front,
// Shift+Enter the same with its text alone, Ctrl+Enter without pasting,
// typing filters, Esc or leaving the window closes it. A real window that
// takes the focus, built on the list-view control for screen readers. Main
// thread only.

#include "analysis/TBitmap.h"
#include "shared/Handles.h"
#include "shared/WindowBinding.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TPagesRow {
  // A page (Number 0-9) or a history entry (Number -1 for the newest).
  bool IsPage = true;
  int Number = 0;
  std::wstring Label;
  // What the card shows: the kind or source program, and the content.
  std::wstring From;
  std::wstring Content;
  bool Active = false;
  bool OnClipboard = false;
  // Names the content (0 for an empty page): the selection follows it when
  // the rows change while the window is open.
  std::uint64_t ContentId = 0;
  std::optional<TBitmap> Icon;
  // A picture's thumbnail, shown in place of the icon.
  std::optional<TBitmap> Thumbnail;
};

// How Enter puts an item.
enum class TPagesChoice { Paste, TextAlone, ClipboardOnly };

// What the window needs from the program; the main form.
class TPagesHost {
public:
  virtual ~TPagesHost() = default;
  virtual std::vector<TPagesRow> PagesRows() = 0;
  virtual bool InPrivateMode() const = 0;
  // The window is already closed when this runs; aPrevious is the window
  // that was in front before it opened.
  virtual void ChoosePagesRow(const TPagesRow &aRow, TPagesChoice aChoice, HWND aPrevious) = 0;
  // The window has been destroyed; the host may make the next one, but not
  // before the window's own call has returned.
  virtual void PagesWindowClosed() = 0;
};

class TPagesWindow {
public:
  static constexpr const wchar_t *WindowClassName = L"PagekeepPages";
  static constexpr const wchar_t *Title = L"Pagekeep pages";
  // For other programs and the tests: sent with a row's place in the list
  // as wParam, the window writes "label|from|content|marks|selected|picture"
  // (picture: "thumbnail", "icon" or empty) into its child
  // "Static" of id RowRecordId and answers 1; 0 when there is no such row.
  static constexpr const wchar_t *RowMessageName = L"Pagekeep.PagesRow";
  static constexpr int ListId = 10;
  static constexpr int FilterId = 11;
  static constexpr int StatusId = 12;
  static constexpr int RowRecordId = 13;

  // Made hidden; Open shows it, once. Closing destroys it.
  explicit TPagesWindow(TPagesHost &aHost);
  TPagesWindow(const TPagesWindow &) = delete;
  TPagesWindow &operator=(const TPagesWindow &) = delete;
  ~TPagesWindow();

  // Fills and shows it; aPrevious is the window in front, where the focus
  // goes back and the paste goes.
  void Open(HWND aPrevious);
  // Brings the open window to the front.
  void Show();
  // The pages or the history changed while it is open (a copy came): the
  // rows again, with the filter; a selection the user moved stays on its
  // item, one on the item on the clipboard moves to the new one.
  void Refresh();
  bool IsOpen() const noexcept;
  // Null once the window has been closed.
  HWND Handle() const noexcept { return fWindow.Get(); }

  // For the message loop: handles the window's own keys (Enter, Esc, digits,
  // typing); true when the message was one of them.
  static bool HandleKeys(const MSG &aMessage);

private:
  friend struct TWindowBinding<TPagesWindow>;
  LRESULT HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);

  bool HandleKey(const MSG &aMessage);
  void CreateControls();
  void Layout();
  void ApplyDpi(int aDpi);
  void ApplyColours();
  void PlaceOnMonitorOf(HWND aWindow);
  void LoadRows();
  void FillList();
  void SelectVisible(int aIndex);
  int SelectedRow() const;
  void Choose(TPagesChoice aChoice);
  void Close(bool aFocusBack);
  LRESULT RecordRow(WPARAM aVisibleIndex);
  HWND Control(int aId) const { return ::GetDlgItem(fWindow.Get(), aId); }

  static inline TPagesWindow *sOpen = nullptr;

  TPagesHost &fHost;
  HWND fPrevious = nullptr;
  TWindowHandle fWindow;
  TGdiObjectHandle fFont;
  TGdiObjectHandle fBackgroundBrush;
  COLORREF fTextColour = 0;
  COLORREF fBackgroundColour = 0;
  UINT fRowMessage = 0;
  int fDpi = 96;
  std::vector<TPagesRow> fRows;
  // fRows' indexes in the order the list shows them (the filter's result).
  std::vector<std::size_t> fVisible;
  std::wstring fFilter;
  bool fClosing = false;
};
