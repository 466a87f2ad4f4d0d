#include "app/PagesWindow.h"

#include "analysis/Bitmap.Convert.h"
#include "analysis/Bitmap.Scale.h"
#include "app/WindowTheme.h"
#include "shared/WindowClass.h"

#include <commctrl.h>
#include <shellscalingapi.h>

#include <algorithm>
#include <cwctype>

namespace {

constexpr int Width = 620;
constexpr int Height = 560;
constexpr int Margin = 8;
constexpr int LineHeight = 22;
// Tall enough for a thumbnail to show what a picture is.
constexpr int PictureSide = 32;

std::wstring Lower(std::wstring aText) {
  for (wchar_t &c : aText)
    c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return aText;
}

std::wstring Marks(const TPagesRow &aRow) {
  std::wstring marks;
  if (aRow.Active)
    marks = L"active";
  if (aRow.OnClipboard)
    marks += (marks.empty() ? L"" : L", ") + std::wstring(L"on the clipboard");
  return marks;
}

std::wstring LabelWithMarks(const TPagesRow &aRow) {
  const std::wstring marks = Marks(aRow);
  return marks.empty() ? aRow.Label : aRow.Label + L" (" + marks + L")";
}

bool Matches(const TPagesRow &aRow, const std::wstring &aLowerFilter) {
  if (aLowerFilter.empty())
    return true;
  return Lower(aRow.Label + L"\n" + aRow.From + L"\n" + aRow.Content).find(aLowerFilter) !=
         std::wstring::npos;
}

HMONITOR MonitorOf(HWND aWindow) {
  return aWindow ? ::MonitorFromWindow(aWindow, MONITOR_DEFAULTTOPRIMARY)
                 : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
}

// The program is per-monitor aware: sizes follow the monitor it opens on.
int MonitorDpi(HMONITOR aMonitor) {
  UINT x = 96;
  UINT y = 96;
  if (FAILED(::GetDpiForMonitor(aMonitor, MDT_EFFECTIVE_DPI, &x, &y)) || y == 0)
    return 96;
  return static_cast<int>(y);
}

constexpr int ColumnWidths[] = {200, 130, 250};
constexpr const wchar_t *FilterPrompt = L"Type to filter; digits select a page";

} // namespace

// Made hidden, ahead of its opening: making a list view and its frame took
// most of an opening under load.
TPagesWindow::TPagesWindow(TPagesHost &aHost) : fHost(aHost), fDpi(MonitorDpi(MonitorOf(nullptr))) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
  CheckWin32(::InitCommonControlsEx(&controls) != FALSE, "InitCommonControlsEx");
  fRowMessage = ::RegisterWindowMessageW(RowMessageName);
  CheckWin32(fRowMessage != 0, "RegisterWindowMessageW");
  RegisterWindowClass(WindowClassName, &TWindowBinding<TPagesWindow>::WindowProc);
  fFont = MessageFont(fDpi);
  const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, WindowClassName, Title,
                                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 0, 0,
                                        ::MulDiv(Width, fDpi, 96), ::MulDiv(Height, fDpi, 96),
                                        nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  CheckWin32(window != nullptr, "CreateWindowExW");
  CreateControls();
}

TPagesWindow::~TPagesWindow() {
  if (sOpen == this)
    sOpen = nullptr;
  fWindow.Reset();
}

bool TPagesWindow::IsOpen() const noexcept {
  return fWindow && ::IsWindowVisible(fWindow.Get());
}

// On the monitor of the window in front, at that monitor's scale, with the
// rows as they are now and no filter.
void TPagesWindow::Open(HWND aPrevious) {
  fPrevious = aPrevious;
  fClosing = false;
  fFilter.clear();
  ::SetDlgItemTextW(fWindow.Get(), FilterId, FilterPrompt);
  ::SetDlgItemTextW(fWindow.Get(), StatusId, fHost.InPrivateMode() ? L"Private mode" : L"");
  const int dpi = MonitorDpi(MonitorOf(aPrevious));
  if (dpi != fDpi) {
    ApplyDpi(dpi);
    ::SetWindowPos(fWindow.Get(), nullptr, 0, 0, ::MulDiv(Width, dpi, 96),
                   ::MulDiv(Height, dpi, 96), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
  ApplyColours();
  PlaceOnMonitorOf(aPrevious);
  // Placing it may leave its size as it was, and then no WM_SIZE comes.
  Layout();
  LoadRows();
  sOpen = this;
  Show();
}

void TPagesWindow::Refresh() {
  if (!IsOpen())
    return;
  const int selected = SelectedRow();
  const std::optional<TPagesRow> before =
      selected < 0 ? std::nullopt
                   : std::optional<TPagesRow>(fRows[fVisible[static_cast<std::size_t>(selected)]]);
  LoadRows();
  // A selection on the item on the clipboard stays there (the new copy);
  // one the user moved follows its item.
  if (!before || before->OnClipboard)
    return;
  for (std::size_t v = 0; v < fVisible.size(); ++v) {
    const TPagesRow &row = fRows[fVisible[v]];
    if (before->ContentId != 0 ? row.ContentId == before->ContentId : row.Label == before->Label) {
      SelectVisible(static_cast<int>(v));
      return;
    }
  }
}

void TPagesWindow::Show() {
  ::ShowWindow(fWindow.Get(), SW_SHOWNORMAL);
  ::SetForegroundWindow(fWindow.Get());
  ::SetFocus(Control(ListId));
}

// Centred on the work area of the monitor the user was working on, and
// never beyond it.
void TPagesWindow::PlaceOnMonitorOf(HWND aWindow) {
  const HMONITOR monitor = MonitorOf(aWindow);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  CheckWin32(::GetMonitorInfoW(monitor, &info) != FALSE, "GetMonitorInfoW");
  const RECT &area = info.rcWork;
  RECT frame{};
  ::GetWindowRect(fWindow.Get(), &frame);
  const int width = std::min(frame.right - frame.left, area.right - area.left);
  const int height = std::min(frame.bottom - frame.top, area.bottom - area.top);
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  ::SetWindowPos(fWindow.Get(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The filter line on top, the list, the status line at the foot.
void TPagesWindow::Layout() {
  RECT client{};
  ::GetClientRect(fWindow.Get(), &client);
  const int width = client.right;
  const int height = client.bottom;
  const int margin = ::MulDiv(Margin, fDpi, 96);
  const int line = ::MulDiv(LineHeight, fDpi, 96);
  ::MoveWindow(Control(FilterId), margin, margin, width - 2 * margin, line, TRUE);
  ::MoveWindow(Control(ListId), margin, margin + line, width - 2 * margin,
               height - 2 * margin - 2 * line, TRUE);
  ::MoveWindow(Control(StatusId), margin, height - margin - line, width - 2 * margin, line, TRUE);
}

void TPagesWindow::CreateControls() {
  auto add = [this](const wchar_t *aClass, DWORD aStyle, int aId) {
    const HWND control = ::CreateWindowExW(
        0, aClass, L"", WS_CHILD | aStyle, 0, 0, 0, 0, fWindow.Get(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(aId)), ::GetModuleHandleW(nullptr), nullptr);
    CheckWin32(control != nullptr, "CreateWindowExW");
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fFont.Get()), FALSE);
    return control;
  };
  add(L"Static", WS_VISIBLE | SS_NOPREFIX, FilterId);
  add(L"Static", WS_VISIBLE | SS_NOPREFIX, StatusId);
  add(L"Static", 0, RowRecordId);
  const HWND list = add(WC_LISTVIEWW,
                        WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL |
                            LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                        ListId);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  const wchar_t *names[] = {L"Item", L"From", L"Content"};
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW description{};
    description.mask = LVCF_TEXT | LVCF_WIDTH;
    description.pszText = const_cast<wchar_t *>(names[column]);
    description.cx = ::MulDiv(ColumnWidths[column], fDpi, 96);
    ListView_InsertColumn(list, column, &description);
  }
}

// Moved to a monitor of another scale: the font, the columns and (from the
// caller) the frame follow.
void TPagesWindow::ApplyDpi(int aDpi) {
  fDpi = aDpi;
  fFont = MessageFont(fDpi);
  for (int id : {FilterId, StatusId, ListId})
    ::SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(fFont.Get()), TRUE);
  for (int column = 0; column < 3; ++column)
    ListView_SetColumnWidth(Control(ListId), column, ::MulDiv(ColumnWidths[column], fDpi, 96));
}

void TPagesWindow::ApplyColours() {
  const TWindowColours colours = CurrentWindowColours();
  fTextColour = colours.Text;
  fBackgroundColour = colours.Background;
  fBackgroundBrush.Reset(::CreateSolidBrush(colours.Background));
  CheckWin32(fBackgroundBrush.operator bool(), "CreateSolidBrush");
  const HWND list = Control(ListId);
  ListView_SetBkColor(list, colours.Background);
  ListView_SetTextBkColor(list, colours.Background);
  ListView_SetTextColor(list, colours.Text);
  SetDarkTitleBar(fWindow.Get(), colours.Dark);
  ::InvalidateRect(fWindow.Get(), nullptr, TRUE);
}

// Each row's picture: a picture's thumbnail, or else the program's icon, or
// nothing. All go into the image list as one strip, in a single call:
// adding them one icon at a time took most of the window's opening.
void TPagesWindow::LoadRows() {
  fRows = fHost.PagesRows();
  const int side = ::MulDiv(PictureSide, fDpi, 96);
  const int count = static_cast<int>(fRows.size());
  TBitmap strip(side * std::max(count, 1), side);
  for (int i = 0; i < count; ++i) {
    const TPagesRow &row = fRows[static_cast<std::size_t>(i)];
    const std::optional<TBitmap> &picture = row.Thumbnail ? row.Thumbnail : row.Icon;
    if (!picture)
      continue;
    const TBitmap fitted = FitInSquare(*picture, side);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        strip.SetPixel(i * side + x, y, fitted.Pixel(x, y));
  }
  // The list destroys its image list with itself. Without one (the system
  // short of memory) the rows go without pictures.
  HIMAGELIST images = ImageList_Create(side, side, ILC_COLOR32, count, 0);
  if (images && ImageList_Add(images, ToPremultipliedDib(strip).Get(), nullptr) < 0) {
    ImageList_Destroy(images);
    images = nullptr;
  }
  // The list destroys the one it held before.
  ImageList_Destroy(ListView_SetImageList(Control(ListId), images, LVSIL_SMALL));
  FillList();
}

// The rows that match the filter; typing only comes here.
void TPagesWindow::FillList() {
  const HWND list = Control(ListId);
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  fVisible.clear();
  const std::wstring filter = Lower(fFilter);
  for (std::size_t i = 0; i < fRows.size(); ++i) {
    if (!Matches(fRows[i], filter))
      continue;
    std::wstring label = LabelWithMarks(fRows[i]);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(fVisible.size());
    item.pszText = label.data();
    // A slot of nothing but transparent pixels would be drawn opaque (the
    // list takes an image without any alpha for one that has none).
    item.iImage = fRows[i].Thumbnail || fRows[i].Icon ? static_cast<int>(i) : I_IMAGENONE;
    const int at = ListView_InsertItem(list, &item);
    ListView_SetItemText(list, at, 1, fRows[i].From.data());
    ListView_SetItemText(list, at, 2, fRows[i].Content.data());
    fVisible.push_back(i);
  }
  int selected = 0;
  for (std::size_t v = 0; v < fVisible.size(); ++v)
    if (fRows[fVisible[v]].OnClipboard)
      selected = static_cast<int>(v);
  SelectVisible(selected);
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

void TPagesWindow::SelectVisible(int aIndex) {
  const HWND list = Control(ListId);
  if (aIndex < 0 || aIndex >= static_cast<int>(fVisible.size()))
    return;
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(list, aIndex, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, aIndex, FALSE);
}

int TPagesWindow::SelectedRow() const {
  const int visible = ListView_GetNextItem(Control(ListId), -1, LVNI_SELECTED);
  return visible < 0 || visible >= static_cast<int>(fVisible.size()) ? -1 : visible;
}

void TPagesWindow::Choose(TPagesChoice aChoice) {
  const int visible = SelectedRow();
  if (visible < 0)
    return;
  const TPagesRow row = fRows[fVisible[static_cast<std::size_t>(visible)]];
  const HWND previous = fPrevious;
  Close(false);
  fHost.ChoosePagesRow(row, aChoice, previous);
}

// Esc gives the focus back to where it was; a choice leaves that to the
// paste, which waits for it.
// A closed window is destroyed, not hidden: showing a window again that was
// hidden waited a second under Wine (for a window manager to withdraw it).
// The host makes the next one once this has returned.
void TPagesWindow::Close(bool aFocusBack) {
  if (fClosing)
    return;
  fClosing = true;
  if (sOpen == this)
    sOpen = nullptr;
  if (aFocusBack && fPrevious)
    ::SetForegroundWindow(fPrevious);
  ::DestroyWindow(fWindow.Get());
  fHost.PagesWindowClosed();
}

bool TPagesWindow::HandleKeys(const MSG &aMessage) {
  if (!sOpen || !sOpen->IsOpen())
    return false;
  const HWND window = sOpen->fWindow.Get();
  if (aMessage.hwnd != window && !::IsChild(window, aMessage.hwnd))
    return false;
  return sOpen->HandleKey(aMessage);
}

// Enter may come with Alt still held from Alt+Win+V: as a system key.
bool TPagesWindow::HandleKey(const MSG &aMessage) {
  if (aMessage.message == WM_SYSKEYDOWN && aMessage.wParam == VK_RETURN) {
    Choose(TPagesChoice::Paste);
    return true;
  }
  if (aMessage.message == WM_SYSCHAR && aMessage.wParam == L'\r')
    return true;
  if (aMessage.message == WM_KEYDOWN) {
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    switch (aMessage.wParam) {
    case VK_RETURN:
      Choose(control ? TPagesChoice::ClipboardOnly
             : shift ? TPagesChoice::TextAlone
                     : TPagesChoice::Paste);
      return true;
    case VK_ESCAPE:
      Close(true);
      return true;
    case VK_BACK:
      if (!fFilter.empty()) {
        fFilter.pop_back();
        ::SetDlgItemTextW(fWindow.Get(), FilterId, (L"Filter: " + fFilter).c_str());
        FillList();
      }
      return true;
    default:
      return false;
    }
  }
  if (aMessage.message == WM_CHAR) {
    const auto typed = static_cast<wchar_t>(aMessage.wParam);
    if (typed >= L'0' && typed <= L'9') {
      for (std::size_t v = 0; v < fVisible.size(); ++v)
        if (fRows[fVisible[v]].IsPage && fRows[fVisible[v]].Number == typed - L'0')
          SelectVisible(static_cast<int>(v));
      return true;
    }
    if (typed >= L' ') {
      fFilter += typed;
      ::SetDlgItemTextW(fWindow.Get(), FilterId, (L"Filter: " + fFilter).c_str());
      FillList();
      return true;
    }
    // Enter, Esc and Backspace were handled as keys.
    return typed == L'\r' || typed == 27 || typed == L'\b';
  }
  return false;
}

LRESULT TPagesWindow::RecordRow(WPARAM aVisibleIndex) {
  if (aVisibleIndex >= fVisible.size())
    return 0;
  const TPagesRow &row = fRows[fVisible[aVisibleIndex]];
  const std::wstring picture = row.Thumbnail ? L"thumbnail" : row.Icon ? L"icon" : L"";
  const std::wstring record =
      row.Label + L"|" + row.From + L"|" + row.Content + L"|" + Marks(row) +
      (SelectedRow() == static_cast<int>(aVisibleIndex) ? L"|selected|" : L"||") + picture;
  ::SetDlgItemTextW(fWindow.Get(), RowRecordId, record.c_str());
  return 1;
}

LRESULT TPagesWindow::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == fRowMessage)
    return RecordRow(aWParam);
  switch (aMsg) {
  case WM_SIZE:
    Layout();
    return 0;
  case WM_ERASEBKGND: {
    RECT all{};
    ::GetClientRect(fWindow.Get(), &all);
    ::FillRect(reinterpret_cast<HDC>(aWParam), &all, static_cast<HBRUSH>(fBackgroundBrush.Get()));
    return 1;
  }
  case WM_CTLCOLORSTATIC:
    ::SetTextColor(reinterpret_cast<HDC>(aWParam), fTextColour);
    ::SetBkColor(reinterpret_cast<HDC>(aWParam), fBackgroundColour);
    return reinterpret_cast<LRESULT>(fBackgroundBrush.Get());
  case WM_SETTINGCHANGE:
  case WM_SYSCOLORCHANGE:
    ApplyColours();
    return 0;
  case WM_DPICHANGED: {
    const auto *suggested = reinterpret_cast<const RECT *>(aLParam);
    ApplyDpi(HIWORD(aWParam));
    if (IsOpen())
      LoadRows();
    ::SetWindowPos(fWindow.Get(), nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  case WM_NOTIFY: {
    const auto *header = reinterpret_cast<const NMHDR *>(aLParam);
    if (header->idFrom == ListId && header->code == NM_DBLCLK)
      Choose(TPagesChoice::Paste);
    return 0;
  }
  case WM_ACTIVATE:
    // Leaving the window closes it, as a menu would.
    if (LOWORD(aWParam) == WA_INACTIVE && !fClosing)
      ::PostMessageW(fWindow.Get(), WM_CLOSE, 0, 0);
    return 0;
  case WM_CLOSE:
    Close(false);
    return 0;
  case WM_DESTROY:
    if (sOpen == this)
      sOpen = nullptr;
    return 0;
  default:
    return ::DefWindowProcW(fWindow.Get(), aMsg, aWParam, aLParam);
  }
}
