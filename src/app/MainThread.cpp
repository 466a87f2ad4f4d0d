#include "app/MainThread.h"

struct TMainThreadHandOver::TStep {
  std::function<void()> Work;
  std::exception_ptr Error;
  bool Done = false;
};

TMainThreadHandOver::TMainThreadHandOver(TWndProcFilter &aWindow)
    : fWindow(aWindow), fMessage(::RegisterWindowMessageW(L"Pagekeep.MainThreadHandOver")),
      fMainThreadID(::GetWindowThreadProcessId(aWindow.Handle(), nullptr)) {
  CheckWin32(fMessage != 0, "RegisterWindowMessageW");
  fWindow.AddEventListener(fMessage, MakeMessageFilter([this](TMessage aMessage) {
                             RunPosted(static_cast<std::uintptr_t>(aMessage.WParam));
                           }));
}

TMainThreadHandOver::~TMainThreadHandOver() {
  Cancel();
  fWindow.RemoveEventListener(fMessage);
}

void TMainThreadHandOver::Run(const std::function<void()> &aStep) {
  if (::GetCurrentThreadId() == fMainThreadID) {
    aStep();
    return;
  }
  auto step = std::make_shared<TStep>();
  step->Work = aStep;
  std::unique_lock lock(fLock);
  if (fCancelled)
    throw EHandOverCancelled();
  const std::uintptr_t id = fNextID++;
  fPending.emplace(id, step);
  if (!::PostMessageW(fWindow.Handle(), fMessage, id, 0)) {
    fPending.erase(id);
    throw std::runtime_error(LastErrorText("PostMessageW"));
  }
  fChanged.wait(lock, [&] { return step->Done || fCancelled; });
  fPending.erase(id);
  if (!step->Done)
    throw EHandOverCancelled();
  if (step->Error)
    std::rethrow_exception(step->Error);
}

void TMainThreadHandOver::RunPosted(std::uintptr_t aStepID) {
  std::shared_ptr<TStep> step;
  {
    std::lock_guard lock(fLock);
    const auto found = fPending.find(aStepID);
    if (found == fPending.end() || fCancelled)
      return;
    step = found->second;
  }
  try {
    step->Work();
  } catch (...) {
    step->Error = std::current_exception();
  }
  {
    std::lock_guard lock(fLock);
    step->Done = true;
  }
  fChanged.notify_all();
}

void TMainThreadHandOver::Cancel() {
  {
    std::lock_guard lock(fLock);
    fCancelled = true;
  }
  fChanged.notify_all();
}
