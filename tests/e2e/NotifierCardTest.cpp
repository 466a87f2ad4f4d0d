// The notifier card of the real program, as the screen shows it.
#include "PagekeepDriver.h"
#include "harness/TestPictures.h"

#include <chrono>
#include <cstring>
#include <functional>

namespace {

using namespace PagekeepDriver;
using TClock = std::chrono::steady_clock;

constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t LightGrey = 0xFFEAEAEA;
constexpr std::uint32_t Blue = 0xFF4F8BC1;
constexpr std::uint32_t WriterBlue = 0xFF03669E;
constexpr std::uint32_t BadgeYellow = 0xFFFFC928;
constexpr int CardTop = 30;

// The colours of the screen's top left corner, 0xFFRRGGBB.
class TCorner {
public:
  TCorner() : fPixels(Width * Height) {
    TWindowDC screen(nullptr);
    TMemoryDCHandle memory(::CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = TopDown32(Width, Height);
    void *bits = nullptr;
    TBitmapHandle dib(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CheckWin32(memory && dib && bits, "CreateDIBSection");
    const HGDIOBJ old = ::SelectObject(memory.Get(), dib.Get());
    const bool copied =
        ::BitBlt(memory.Get(), 0, 0, Width, Height, screen.Get(), 0, 0, SRCCOPY | CAPTUREBLT);
    ::GdiFlush();
    std::memcpy(fPixels.data(), bits, fPixels.size() * 4);
    ::SelectObject(memory.Get(), old);
    CheckWin32(copied, "BitBlt");
  }
  std::uint32_t At(int aX, int aY) const {
    return 0xFF000000 | fPixels.at(static_cast<std::size_t>(aY * Width + aX));
  }
  int Changed(const TCorner &aOther) const {
    int count = 0;
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x)
        count += At(x, y) != aOther.At(x, y);
    return count;
  }
  // Where the card's top outline, of aColor, ends: the card's width.
  int OutlineWidth(std::uint32_t aColor) const {
    int x = 0;
    while (x < Width && At(x, CardTop) == aColor)
      ++x;
    return x;
  }

  static constexpr int Width = 400;
  static constexpr int Height = 360;

private:
  std::vector<std::uint32_t> fPixels;
};

// The first run in this profile greets with a card and then a balloon of
// the tray icon in the screen's corner; a run that has started and closed
// once before leaves the corner to the tests.
void LetTheFirstRunGoBy() {
  static bool done = false;
  if (done)
    return;
  done = true;
  TPagekeep first;
  if (first.WaitReady()) {
    ::PostMessageW(first.Tray(), WM_COMMAND, tcClose, 0);
    first.Process().WaitForExit(10s);
  }
}

// A started program with no card on the screen.
class TQuietPagekeep : public TPagekeep {
public:
  TQuietPagekeep() : TPagekeep((LetTheFirstRunGoBy(), L"-updated")) {
    // The mouse rests away from the corner, where Wine's notification area
    // would show tooltips of its own.
    ::SetCursorPos(900, 700);
    fReady = WaitReady();
    if (fReady) {
      WaitUntil([] { return false; }, 500ms);
      fReady = WaitUntil([&] { return !::IsWindowVisible(Form()); }, 15s);
    }
  }
  bool Ready() const noexcept { return fReady; }
  // Presses Alt+Win+aKey and waits until the slide-in is over.
  std::wstring ShowCard(WORD aKey) {
    const std::wstring announced = Press(aKey);
    WaitUntil([] { return false; }, 800ms);
    return announced;
  }
  int FormHeight() const {
    RECT rect{};
    ::GetWindowRect(Form(), &rect);
    return rect.bottom - rect.top;
  }

private:
  bool fReady = false;
};

TBytes Utf16(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

TBytes Ansi(const std::string &aText) {
  return TBytes(aText.begin(), aText.end() + 1);
}

// Text as a web browser that is not installed here writes it, in its order
// of formats: its description has no program icon.
std::vector<TClipFormat> BrowserText(const std::wstring &aText) {
  const std::string ansi(aText.begin(), aText.end());
  const TBytes html = Ansi("Version:0.9\r\n<p>" + ansi + "</p>");
  const DWORD locale = 0x0409;
  TBytes localeBytes(sizeof(locale));
  std::memcpy(localeBytes.data(), &locale, sizeof(locale));
  return {{RegisterFormat(L"DataObject"), {0, 0, 0, 0}},
          {RegisterFormat(L"text/html"), html},
          {RegisterFormat(L"HTML Format"), html},
          {RegisterFormat(L"text/_moz_htmlinfo"), Utf16(L"0,0")},
          {CF_UNICODETEXT, Utf16(aText)},
          {CF_TEXT, Ansi(ansi)},
          {CF_OEMTEXT, Ansi(ansi)},
          {CF_LOCALE, localeBytes},
          {CF_DIF, Ansi("dif")},
          {RegisterFormat(L"Ole Private Data"), {0, 0, 0, 0}},
          {CF_SYLK, Ansi("sylk")}};
}

TBytes SmallPicture() {
  constexpr int width = 120, height = 90;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  TBytes data(sizeof(header) + width * height * 4);
  std::memcpy(data.data(), &header, sizeof(header));
  auto *pixels = reinterpret_cast<std::uint32_t *>(data.data() + sizeof(header));
  for (int i = 0; i < width * height; ++i)
    pixels[i] = 0xFF20A040;
  return data;
}

TEST(NotifierCard, EmptyPageFourIsAnnouncedOnTheBlueCardForTwoSeconds) {
  TQuietPagekeep app;
  ASSERT_TRUE(app.Ready());
  const TCorner before;
  const auto pressed = TClock::now();
  ASSERT_EQ(L"Page 4", app.ShowCard(VK_NUMPAD4));

  const TCorner card;
  EXPECT_EQ(75, app.FormHeight());
  EXPECT_EQ(330, card.OutlineWidth(White));
  // A 330 x 75 card at (0, 30): outline corners, and nothing around them.
  for (POINT p : {POINT{0, 30}, POINT{329, 30}, POINT{0, 104}, POINT{329, 104}})
    EXPECT_EQ(White, card.At(p.x, p.y)) << p.x << "," << p.y;
  for (POINT p : {POINT{330, 40}, POINT{10, 105}, POINT{10, 29}})
    EXPECT_EQ(before.At(p.x, p.y), card.At(p.x, p.y)) << p.x << "," << p.y;
  for (POINT p : {POINT{3, 33}, POINT{5, 100}, POINT{250, 101}})
    EXPECT_EQ(Blue, card.At(p.x, p.y)) << p.x << "," << p.y;
  // The white icon box with the grey "Empty" sheet in it.
  EXPECT_EQ(White, card.At(258, 33));
  EXPECT_EQ(0xFF929292u, card.At(276, 70));

  WaitUntil([&] { return TClock::now() >= pressed + 3000ms; }, 4s);
  EXPECT_EQ(0, TCorner().Changed(before)) << "gone 2.5 s + 0.5 s later";
  EXPECT_FALSE(::IsWindowVisible(app.Form()));
}

struct TContentCase {
  const char *Name;
  std::function<void(TQuietPagekeep &)> Fill; // copies the content onto page 0
  WORD Key;                                   // what shows the card then
  std::uint32_t Outline;
  int CardWidth; // 0: not checked
  std::function<void(int aFormHeight)> CheckHeight;
};

// A program of the user's, in the foreground with the focus in its edit
// field, away from the card's corner. Its frame is a plain window: other
// processes read the caption of an edit control as empty under Wine.
class TUserProgram {
public:
  explicit TUserProgram(const wchar_t *aCaption = L"User's program")
      : fWindow(::CreateWindowExW(0, FrameClass(), aCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500,
                                  400, 300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                  nullptr)),
        fEdit(::CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 0, 0, 280, 150,
                                fWindow.Get(), nullptr, ::GetModuleHandleW(nullptr), nullptr)) {
    CheckWin32(fWindow && fEdit, "CreateWindowExW");
    ::SetForegroundWindow(fWindow.Get());
    ::SetFocus(fEdit.Get());
    WaitUntil([&] { return ::GetForegroundWindow() == fWindow.Get(); }, 2s);
  }
  HWND Handle() const noexcept { return fWindow.Get(); }
  static HWND ForegroundFocus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    const HWND foreground = ::GetForegroundWindow();
    if (!foreground || !::GetGUIThreadInfo(::GetWindowThreadProcessId(foreground, nullptr), &info))
      return nullptr;
    return info.hwndFocus;
  }

private:
  static const wchar_t *FrameClass() {
    static const ATOM atom = [] {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = ::DefWindowProcW;
      windowClass.hInstance = ::GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"PagekeepTestUserProgram";
      const ATOM registered = ::RegisterClassW(&windowClass);
      CheckWin32(registered != 0, "RegisterClassW");
      return registered;
    }();
    return MAKEINTATOM(atom);
  }

  TWindowHandle fWindow;
  TWindowHandle fEdit; // destroyed first: it is the frame's child
};

class NotifierContentCard : public testing::TestWithParam<TContentCase> {};

TEST_P(NotifierContentCard, HasTheSizeAndColoursOfItsContentAndLeavesTheFocus) {
  const TContentCase &row = GetParam();
  TQuietPagekeep app;
  ASSERT_TRUE(app.Ready());
  TUserProgram user;
  row.Fill(app);
  const HWND foreground = ::GetForegroundWindow();
  const HWND focus = TUserProgram::ForegroundFocus();
  ASSERT_FALSE(app.ShowCard(row.Key).empty());

  const TCorner card;
  EXPECT_TRUE(::IsWindowVisible(app.Form()));
  if (row.CardWidth) {
    EXPECT_EQ(row.CardWidth, card.OutlineWidth(row.Outline));
  } else {
    EXPECT_EQ(row.Outline, card.At(0, CardTop));
  }
  row.CheckHeight(app.FormHeight());
  EXPECT_EQ(user.Handle(), foreground) << "the user's program was in the foreground";
  EXPECT_EQ(foreground, ::GetForegroundWindow()) << "the card took the foreground";
  EXPECT_EQ(focus, TUserProgram::ForegroundFocus()) << "the card took the focus";
}

// One line of 14-unit text: the card is that line's height and 90.
void CheckOneLineHeight(int aFormHeight) {
  EXPECT_GE(aFormHeight - 90, 12);
  EXPECT_LE(aFormHeight - 90, 30);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, NotifierContentCard,
    testing::Values(TContentCase{"TextWithoutIcon",
                                 [](TQuietPagekeep &) {
                                   CopyFormats(BrowserText(L"One line of text"));
                                 },
                                 'I', White, 255, CheckOneLineHeight},
                    TContentCase{"Picture",
                                 [](TQuietPagekeep &) {
                                   CopyFormats({{CF_DIB, SmallPicture()}});
                                 },
                                 'I', White, 0, [](int aHeight) { EXPECT_EQ(280, aHeight); }},
                    TContentCase{"HistoryEntry",
                                 [](TQuietPagekeep &) {
                                   Copy(L"the older copy");
                                   Copy(L"the newer copy");
                                 },
                                 VK_UP, LightGrey, 0, [](int aHeight) { EXPECT_GT(aHeight, 90); }}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The detailed text decides the height: three lines take three times the
// room of one, and the card adds 90 to it either way.
TEST(NotifierCard, TextCardIsItsWrappedTextAndNinety) {
  TQuietPagekeep app;
  ASSERT_TRUE(app.Ready());
  CopyFormats(BrowserText(L"One line of text"));
  ASSERT_FALSE(app.ShowCard('I').empty());
  const int oneLine = app.FormHeight() - 90;
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(app.Form()); }, 5s));
  CopyFormats(BrowserText(L"First line\r\nSecond line\r\nThird line"));
  ASSERT_FALSE(app.ShowCard('I').empty());
  EXPECT_NEAR(3 * oneLine, app.FormHeight() - 90, 3) << "one line: " << oneLine;
  EXPECT_EQ(255, TCorner().OutlineWidth(White));
}

// A copy made in an office-suite window (told by its caption: no such suite
// is installed here) shows in the suite's colour with the warning badge, 3
// from the top right of the card.
TEST(NotifierCard, OfficeSuiteCopyCarriesTheWarningBadge) {
  TQuietPagekeep app;
  ASSERT_TRUE(app.Ready());
  TUserProgram writer(L"Report.odt - LibreOffice Writer");
  CopyFormats({{CF_UNICODETEXT, Utf16(L"A line from the report")}});
  ASSERT_FALSE(app.ShowCard('I').empty());
  const TCorner card;
  EXPECT_EQ(255, card.OutlineWidth(White));
  EXPECT_EQ(WriterBlue, card.At(5, CardTop + 5));
  const int badgeLeft = 255 - 3 - 32;
  EXPECT_EQ(BadgeYellow, card.At(badgeLeft + 10, CardTop + 3 + 24));
  EXPECT_EQ(BadgeYellow, card.At(badgeLeft + 22, CardTop + 3 + 24));
}

} // namespace
