#pragma once

// Cards that the end of start-up has to show (taken hotkeys, saved pages
// that could not be read). They wait until the start-up messages (the
// greetings, which come from threads of their own a moment later) are over,
// then show one after another. Main thread only.

#include "hotkey/GlobalHotkey.WndProcFilter.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

class TAfterStartupCards {
public:
  using TShow = std::function<void()>;
  // Before the first card: time for the greeting threads' hand-overs, which
  // are posted messages and so run before the timer's message.
  static constexpr DWORD FirstDelay = 300;
  static constexpr std::uint32_t UntilHidden = 0xFFFFFFFF;

  explicit TAfterStartupCards(TWndProcFilter &aWindow = WndProcFilter());
  TAfterStartupCards(const TAfterStartupCards &) = delete;
  TAfterStartupCards &operator=(const TAfterStartupCards &) = delete;
  ~TAfterStartupCards();

  // Queues a card that aShow puts up for aTime ms.
  void Add(TShow aShow, std::uint32_t aTime);
  // A start-up message took the card for aTime ms (UntilHidden: until
  // StartupMessageHidden). A queued card shown meanwhile was covered and
  // shows again after it.
  void StartupMessageShown(std::uint32_t aTime);
  void StartupMessageHidden();
  std::size_t Waiting() const noexcept { return fWaiting.size(); }

private:
  struct TCard {
    TShow Show;
    std::uint32_t Time;
  };
  static constexpr UINT_PTR TimerID = 0x5043;
  void Arm(DWORD aDelay);
  void OnTimer();
  DWORD BusyFor(DWORD aNow) const noexcept;

  TWndProcFilter &fWindow;
  TMessageFilter fFilter;
  std::deque<TCard> fWaiting;
  std::optional<TCard> fShowing;
  DWORD fBusyUntil = 0;
  bool fBusyUntilHidden = false;
  bool fArmed = false;
};
