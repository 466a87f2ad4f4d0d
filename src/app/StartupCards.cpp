#include "app/StartupCards.h"

TAfterStartupCards::TAfterStartupCards(TWndProcFilter &aWindow)
    : fWindow(aWindow), fFilter(MakeMessageFilter([this](TMessage aMessage) {
        if (aMessage.Msg == WM_TIMER && aMessage.WParam == TimerID)
          OnTimer();
      })) {
  fWindow.AddFilter(fFilter);
}

TAfterStartupCards::~TAfterStartupCards() {
  ::KillTimer(fWindow.Handle(), TimerID);
  fWindow.RemoveFilter(fFilter);
}

void TAfterStartupCards::Add(TShow aShow, std::uint32_t aTime) {
  fWaiting.push_back({std::move(aShow), aTime});
  if (!fArmed)
    Arm(FirstDelay);
}

void TAfterStartupCards::StartupMessageShown(std::uint32_t aTime) {
  const DWORD now = ::GetTickCount();
  if (fShowing && BusyFor(now) > 0)
    fWaiting.push_front(*fShowing);
  fShowing.reset();
  fBusyUntilHidden = aTime == UntilHidden;
  fBusyUntil = fBusyUntilHidden ? now : now + aTime;
  if (!fWaiting.empty())
    Arm(fBusyUntilHidden ? FirstDelay : aTime);
}

void TAfterStartupCards::StartupMessageHidden() {
  fBusyUntilHidden = false;
  fBusyUntil = ::GetTickCount();
  if (!fWaiting.empty())
    Arm(FirstDelay);
}

// Tick arithmetic in unsigned differences, so the 49-day wrap does not
// matter.
DWORD TAfterStartupCards::BusyFor(DWORD aNow) const noexcept {
  if (fBusyUntilHidden)
    return FirstDelay;
  const DWORD left = fBusyUntil - aNow;
  return left > 0x7FFFFFFF ? 0 : left;
}

void TAfterStartupCards::Arm(DWORD aDelay) {
  CheckWin32(::SetTimer(fWindow.Handle(), TimerID, aDelay == 0 ? 1 : aDelay, nullptr) != 0,
             "SetTimer");
  fArmed = true;
}

void TAfterStartupCards::OnTimer() {
  ::KillTimer(fWindow.Handle(), TimerID);
  fArmed = false;
  const DWORD now = ::GetTickCount();
  if (const DWORD busy = BusyFor(now); busy > 0) {
    Arm(busy);
    return;
  }
  if (fWaiting.empty())
    return;
  fShowing = std::move(fWaiting.front());
  fWaiting.pop_front();
  fBusyUntilHidden = false;
  fBusyUntil = now + fShowing->Time;
  if (!fWaiting.empty())
    Arm(fShowing->Time);
  fShowing->Show();
}
