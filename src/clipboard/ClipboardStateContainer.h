#pragma once

#include "clipboard/ClipboardFormatState.h"
#include "clipboard/ClipboardStream.File.h"
#include "shared/AutoPtr.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// The program that was in the foreground when a snapshot was taken.
struct TActiveApplication {
  std::wstring Path;
  std::wstring Caption;

  static TActiveApplication Make(std::wstring aPath, std::wstring aCaption) {
    return {std::move(aPath), std::move(aCaption)};
  }
  bool IsEmpty() const noexcept { return Path.empty() && Caption.empty(); }
  friend bool operator==(const TActiveApplication &, const TActiveApplication &) = default;
};

// A snapshot of the whole clipboard: its formats in enumeration order and
// the source program. Built once (by capture, the loader or a test) and then
// shared read-only through TAuto handles.
class TClipboardStateContainer {
public:
  using TItems = std::vector<std::unique_ptr<TClipboardFormatState>>;

  // Walks the items as const references.
  class TIterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TClipboardFormatState;
    using difference_type = std::ptrdiff_t;
    using pointer = const TClipboardFormatState *;
    using reference = const TClipboardFormatState &;

    TIterator() = default;
    explicit TIterator(TItems::const_iterator aPos) : fPos(aPos) {}
    const TClipboardFormatState &operator*() const { return **fPos; }
    const TClipboardFormatState *operator->() const { return fPos->get(); }
    TIterator &operator++() {
      ++fPos;
      return *this;
    }
    TIterator operator++(int) {
      TIterator before = *this;
      ++fPos;
      return before;
    }
    friend bool operator==(const TIterator &, const TIterator &) = default;

  private:
    TItems::const_iterator fPos;
  };

  TClipboardStateContainer() = default;
  explicit TClipboardStateContainer(TActiveApplication aActiveApplication)
      : fActiveApplication(std::move(aActiveApplication)) {}
  TClipboardStateContainer(const TClipboardStateContainer &) = delete;
  TClipboardStateContainer &operator=(const TClipboardStateContainer &) = delete;

  // Building only: appends a format (which must not be null).
  void Add(std::unique_ptr<TClipboardFormatState> aFormat);

  int Count() const noexcept { return static_cast<int>(fItems.size()); }
  // Throws std::out_of_range for a bad index.
  const TClipboardFormatState &operator[](int aIndex) const;
  TIterator begin() const { return TIterator(fItems.begin()); }
  TIterator end() const { return TIterator(fItems.end()); }
  const TActiveApplication &ActiveApplication() const noexcept { return fActiveApplication; }

  // Appends the container at the stream's position; write errors propagate.
  void SaveToStream(TStream &aStream) const;
  // Reads one container from the stream's position and leaves the stream on
  // the first byte after it. Throws EStreamReadError or
  // EInvalidPropertyValue; never allocates more than the stream still holds.
  static std::unique_ptr<TClipboardStateContainer> LoadFromStream(TStream &aStream);

private:
  TItems fItems;
  TActiveApplication fActiveApplication;
};

using TClipboardState = TAuto<TClipboardStateContainer>;

// The foreground window's program and title; empty when that is this program.
TActiveApplication GetActiveApplication();
// Snapshot of the clipboard now; an empty container when the clipboard stays
// busy. Unreadable formats are left out.
TClipboardState CaptureClipboardState(bool aDetectApplication);
// Replaces the clipboard's content with aState; throws EClipboardOpenError
// (clipboard unchanged) when it cannot be opened.
void RestoreClipboardState(const TClipboardState &aState);
