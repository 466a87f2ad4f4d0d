#include "hotkey/GlobalHotkey.WndProcFilter.h"

#include "AllocationFailure.h"
#include "HotkeyTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT TestMessage = WM_APP + 17;

class WndProcFilterTest : public ::testing::Test {
protected:
  TWndProcFilter fWindow{L"FilterTestCaption", L"PagekeepFilterTestClass"};
  std::vector<std::string> fCalls;

  TMessageFilter Recorder(const std::string &aName) {
    return MakeMessageFilter([this, aName](TMessage aMessage) {
      if (aMessage.Msg == TestMessage)
        fCalls.push_back(aName);
    });
  }
  LRESULT Send() { return ::SendMessageW(fWindow.Handle(), TestMessage, 1, 2); }
};

TEST_F(WndProcFilterTest, FiltersRunInOrderThenTheListenerAndErrorsStayInside) {
  fWindow.AddFilter(Recorder("first"));
  fWindow.AddFilter(MakeMessageFilter([this](TMessage aMessage) {
    if (aMessage.Msg == TestMessage) {
      fCalls.push_back("failing");
      throw std::runtime_error("filter failed");
    }
  }));
  fWindow.AddFilter(Recorder("third"));
  fWindow.AddEventListener(TestMessage, MakeMessageFilter([this](TMessage aMessage) {
                             fCalls.push_back("listener");
                             EXPECT_EQ(1u, aMessage.WParam);
                             EXPECT_EQ(2, aMessage.LParam);
                             EXPECT_EQ(0, aMessage.Result);
                             throw std::logic_error("listener failed");
                           }));

  EXPECT_EQ(0, Send());
  EXPECT_EQ((std::vector<std::string>{"first", "failing", "third", "listener"}), fCalls);
  fCalls.clear();
  EXPECT_EQ(0, Send()) << "a failure leaves the window working";
  EXPECT_EQ(4u, fCalls.size());
}

TEST_F(WndProcFilterTest, ChangingTheResultInAFilterDoesNotChangeTheAnswer) {
  fWindow.AddFilter(MakeMessageFilter([](TMessage aMessage) {
    aMessage.Result = 42;
    (void)aMessage;
  }));
  EXPECT_EQ(0, Send());
  EXPECT_EQ(0, ::SendMessageW(fWindow.Handle(), WM_GETTEXTLENGTH, 0, 0));
}

TEST_F(WndProcFilterTest, ASecondListenerForOneMessageIsRefusedAndTheFirstStays) {
  fWindow.AddEventListener(TestMessage, Recorder("first listener"));
  try {
    fWindow.AddEventListener(TestMessage, Recorder("second listener"));
    FAIL() << "a duplicate listener was accepted";
  } catch (const std::invalid_argument &e) {
    EXPECT_STREQ("Duplicates not allowed", e.what());
  }
  Send();
  EXPECT_EQ((std::vector<std::string>{"first listener"}), fCalls);
}

TEST_F(WndProcFilterTest, RemovalGoesByIdentityAndUnknownRemovalsDoNothing) {
  auto behaviour = [this](TMessage aMessage) {
    if (aMessage.Msg == TestMessage)
      fCalls.push_back("listed");
  };
  const TMessageFilter listed = MakeMessageFilter(behaviour);
  const TMessageFilter lookalike = MakeMessageFilter(behaviour);
  fWindow.AddFilter(listed);
  fWindow.AddFilter(listed);
  fWindow.AddEventListener(TestMessage, Recorder("listener"));

  fWindow.RemoveFilter(lookalike);
  fWindow.RemoveEventListener(TestMessage + 1);
  Send();
  EXPECT_EQ((std::vector<std::string>{"listed", "listed", "listener"}), fCalls);

  fCalls.clear();
  fWindow.RemoveFilter(listed);
  fWindow.RemoveEventListener(TestMessage);
  Send();
  EXPECT_EQ((std::vector<std::string>{"listed"}), fCalls) << "one removal takes one entry";
}

// A filter that removes itself must not make the next one miss the message,
// and a filter removed by an earlier one must not run any more.
TEST_F(WndProcFilterTest, RemovalDuringDispatchSkipsNoAttachedFilter) {
  TMessageFilter self;
  TMessageFilter victim = Recorder("victim");
  self = MakeMessageFilter([&](TMessage aMessage) {
    if (aMessage.Msg != TestMessage)
      return;
    fCalls.push_back("self-removing");
    fWindow.RemoveFilter(self);
    fWindow.RemoveFilter(victim);
    fWindow.AddFilter(Recorder("added during dispatch"));
  });
  fWindow.AddFilter(self);
  fWindow.AddFilter(Recorder("next"));
  fWindow.AddFilter(victim);
  fWindow.AddFilter(Recorder("last"));

  EXPECT_EQ(0, Send());
  EXPECT_EQ((std::vector<std::string>{"self-removing", "next", "last"}), fCalls);
  fCalls.clear();
  Send();
  EXPECT_EQ((std::vector<std::string>{"next", "last", "added during dispatch"}), fCalls);
}

// Removal during dispatch takes one entry: a filter listed twice, of which
// an earlier filter removes one entry, runs once for that message.
TEST_F(WndProcFilterTest, RemovingOneOfTwoEntriesDuringDispatchLeavesOneRun) {
  const TMessageFilter twice = Recorder("twice");
  fWindow.AddFilter(MakeMessageFilter([&](TMessage aMessage) {
    if (aMessage.Msg == TestMessage)
      fWindow.RemoveFilter(twice);
  }));
  fWindow.AddFilter(twice);
  fWindow.AddFilter(twice);
  EXPECT_EQ(3u, fWindow.FilterCount());

  Send();
  EXPECT_EQ((std::vector<std::string>{"twice"}), fCalls);
  EXPECT_EQ(2u, fWindow.FilterCount());
}

// Nothing may unwind through the system's frames, not even an error of the
// dispatch itself: without memory for its copy of the list the message is
// lost to the filters, and the window goes on working.
TEST_F(WndProcFilterTest, ADispatchWithoutMemoryAnswersAndTheWindowGoesOn) {
  fWindow.AddFilter(Recorder("filter"));
  {
    HotkeyTest::TAllocationFailure failure(1);
    EXPECT_EQ(0, Send());
    EXPECT_TRUE(failure.Failed());
  }
  EXPECT_TRUE(fCalls.empty());
  EXPECT_EQ(0, Send());
  EXPECT_EQ((std::vector<std::string>{"filter"}), fCalls);
}

// The window never holds up the end of the session: with no listener, with
// one, and with filters or a listener that fail.
TEST_F(WndProcFilterTest, TheEndOfTheSessionIsNeverRefused) {
  auto query = [&] { return ::SendMessageW(fWindow.Handle(), WM_QUERYENDSESSION, 0, 0); };
  EXPECT_EQ(TRUE, query()) << "no listener";
  fWindow.AddEventListener(WM_QUERYENDSESSION, Recorder("listener"));
  EXPECT_EQ(TRUE, query());
  fWindow.RemoveEventListener(WM_QUERYENDSESSION);
  fWindow.AddFilter(MakeMessageFilter([](TMessage) { throw std::runtime_error("fails"); }));
  fWindow.AddEventListener(WM_QUERYENDSESSION,
                           MakeMessageFilter([](TMessage) { throw std::logic_error("fails"); }));
  EXPECT_EQ(TRUE, query());
  {
    HotkeyTest::TAllocationFailure failure(1);
    EXPECT_EQ(TRUE, query()) << "the dispatch itself failed";
  }
  EXPECT_EQ(0, Send()) << "other messages are still answered 0";
}

TEST_F(WndProcFilterTest, AFilterMayOpenAModalLoopAndMessagesStillArrive) {
  constexpr UINT OpenBox = WM_APP + 18;
  const std::wstring title = L"Modal loop inside a filter";
  fWindow.AddFilter(MakeMessageFilter([&](TMessage aMessage) {
    if (aMessage.Msg == OpenBox)
      ::MessageBoxW(nullptr, L"waiting", title.c_str(), MB_OK);
  }));
  fWindow.AddEventListener(TestMessage, MakeMessageFilter([&](TMessage) {
                             fCalls.push_back("nested");
                             if (HWND box = ::FindWindowW(nullptr, title.c_str()))
                               ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                           }));
  ASSERT_TRUE(::PostMessageW(fWindow.Handle(), OpenBox, 0, 0));
  // The box runs its own loop inside the dispatch of OpenBox; a thread posts
  // the next message once the box is up, and the nested dispatch closes it.
  std::thread poster([&] {
    for (int i = 0; i < 300 && !::FindWindowW(nullptr, title.c_str()); ++i)
      ::Sleep(10);
    ::PostMessageW(fWindow.Handle(), TestMessage, 0, 0);
  });
  const bool done = HotkeyTest::PumpUntil([&] { return !fCalls.empty(); });
  poster.join();
  HotkeyTest::PumpPending();
  EXPECT_TRUE(done) << "the message sent during the modal loop was not dispatched";
  EXPECT_EQ(nullptr, ::FindWindowW(nullptr, title.c_str()));
}

enum class TClassBefore { Absent, DefaultProcedure, OtherProcedure };

struct TClassCase {
  const char *Name;
  TClassBefore Before;
  UINT ExpectedStyle;
};

LRESULT CALLBACK ForeignProcedure(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
}

class WindowClassTest : public ::testing::TestWithParam<TClassCase> {};

// The style marks whether the earlier class was kept (its style stays) or
// replaced (our description has style 0).
TEST_P(WindowClassTest, ClassIsReusedOnlyWithTheDefaultProcedure) {
  const wchar_t *className = L"PagekeepClassReuseTest";
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  ::UnregisterClassW(className, module);
  if (GetParam().Before != TClassBefore::Absent) {
    WNDCLASSW earlier{};
    earlier.style = CS_DBLCLKS;
    earlier.lpfnWndProc =
        GetParam().Before == TClassBefore::DefaultProcedure ? &::DefWindowProcW : &ForeignProcedure;
    earlier.hInstance = module;
    earlier.lpszClassName = className;
    ASSERT_NE(0, ::RegisterClassW(&earlier));
  }
  {
    TWndProcFilter window(L"ClassReuseCaption", className);
    ASSERT_NE(nullptr, window.Handle());
    wchar_t caption[64]{};
    ::InternalGetWindowText(window.Handle(), caption, 64);
    EXPECT_STREQ(L"ClassReuseCaption", caption);
    EXPECT_FALSE(::IsWindowVisible(window.Handle()));
    EXPECT_TRUE(::GetWindowLongW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  }
  WNDCLASSW after{};
  ASSERT_TRUE(::GetClassInfoW(module, className, &after)) << "the class stays registered";
  EXPECT_EQ(&::DefWindowProcW, after.lpfnWndProc);
  EXPECT_EQ(GetParam().ExpectedStyle, after.style);
  ::UnregisterClassW(className, module);
}

INSTANTIATE_TEST_SUITE_P(Classes, WindowClassTest,
                         ::testing::Values(TClassCase{"Absent", TClassBefore::Absent, 0},
                                           TClassCase{"DefaultProcedureReused",
                                                      TClassBefore::DefaultProcedure, CS_DBLCLKS},
                                           TClassCase{"OtherProcedureReplaced",
                                                      TClassBefore::OtherProcedure, 0}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(ProcessWideWindow, HasTheKnownCaptionAndClassAndIsOneObject) {
  TWndProcFilter &window = WndProcFilter();
  EXPECT_EQ(&window, &WndProcFilter());
  EXPECT_EQ(window.Handle(), ::FindWindowW(L"ZAVereWindowClass", L"ZAVereWindowCaption"));
}

TEST(WindowDestruction, ReleasesTheCallablesAndTheWindow) {
  auto filter = MakeMessageFilter([](TMessage) {});
  auto listener = MakeMessageFilter([](TMessage) {});
  HWND handle = nullptr;
  {
    TWndProcFilter window(L"DestructionCaption", L"PagekeepDestructionClass");
    window.AddFilter(filter);
    window.AddEventListener(TestMessage, listener);
    handle = window.Handle();
    EXPECT_EQ(2, filter.use_count());
  }
  EXPECT_EQ(1, filter.use_count());
  EXPECT_EQ(1, listener.use_count());
  EXPECT_FALSE(::IsWindow(handle));
}

} // namespace
