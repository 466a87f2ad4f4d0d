#include "app/MainForm.h"

void RunStartupThread(TMainForm &aForm, TMainThreadHandOver &aHandOver) {
  try {
    aHandOver.Run([&aForm] { aForm.CompleteStartupOrClose(); });
  } catch (const EHandOverCancelled &) {
    // The form closed before start-up could complete: nothing left to do.
  }
}
