// TMainForm, saved pages: the "Keep pages after restart" setting, load at start, save at exit.
#include "app/MainForm.h"

#include "clipboard/ClipboardSession.h"
#include "shared/Trace.h"

bool TMainForm::KeepPages() const {
  return KeepPagesSetting(fOptions.AppKey);
}

// Start-up, before the clipboard listener: the saved pages come back, all or
// nothing. A damaged file has been put aside; the user hears of it on a
// card after the start-up messages, and the program goes on with empty
// pages.
bool TMainForm::RestoreSavedPages() {
  if (!KeepPages())
    return false;
  bool restored = false;
  try {
    restored = fModel.RestoreSavedPages();
  } catch (const EDamagedDataFile &) {
    TraceDroppedError();
    fStartupCards.Add(
        [this] {
          ShowWarningCard(L"Saved pages", L"The saved pages could not be read. The damaged file "
                                          L"was put aside with the ending \".bad\".");
        },
        8000);
  } catch (const EClipboardOpenError &) {
    // The pages are back; only putting the active one on the busy clipboard
    // failed, and the user can select it.
    TraceDroppedError();
    restored = true;
  } catch (const std::exception &) {
    TraceDroppedError();
  }
  if (restored)
    CheckPageMenuItem(fModel.ActivePage());
  StartKeepingPages(restored);
  return restored;
}

// Without saved pages, page 0 takes what the clipboard holds, without its
// source program, and nothing goes to the history. With them, content
// found on the clipboard is recorded like a copy, so the saved active page
// moves to the history instead of being lost; an empty clipboard got the
// active page back already.
void TMainForm::CaptureStartClipboard(bool aPagesRestored) {
  if (aPagesRestored && fModel.Page(fModel.ActivePage())().Count() > 0) {
    if (::CountClipboardFormats() > 0 && !fModel.HistoryIgnoreChange())
      fModel.ClipboardChanged();
    return;
  }
  fModel.CaptureInitialClipboard();
}

void TMainForm::StartKeepingPages(bool aSavedAlready) {
  fPageSaver = std::make_unique<TPageSaver>([this] { return fModel.SavedPages(); },
                                            PageStore::ClipboardDataFileName(),
                                            PageStore::HistoryDataFileName(), aSavedAlready);
}

// The item's mark is already inverted. Off deletes both files: the user
// asked for nothing to be kept.
void TMainForm::KeepPagesClick(TTrayMenuItem &aItem) {
  const bool keep = aItem.Checked();
  try {
    SetKeepPagesSetting(fOptions.AppKey, keep);
  } catch (...) {
    aItem.SetChecked(!keep);
    throw;
  }
  if (keep) {
    if (!fPageSaver)
      StartKeepingPages(false);
    return;
  }
  fPageSaver.reset();
  PageStore::DeleteDataFiles();
}

// Closing and the end of the session must not fail on a save: the error
// leaves a trace, and the files on the disk stay whole either way.
void TMainForm::SavePagesBeforeExit() {
  if (!fPageSaver)
    return;
  try {
    fPageSaver->SaveNow();
  } catch (const std::exception &) {
    TraceDroppedError();
  }
}
