#pragma once

#include "clipboard/ClipboardStream.h"
#include "shared/Handles.h"

#include <string>

// A file opened for reading or created (truncated) for writing. The handle is
// closed by the destructor, so no error path leaves the file locked.
class TFileStream final : public TStream {
public:
  enum class TMode { fmOpenRead, fmCreate };
  // Throws std::runtime_error with the system's message when the file cannot
  // be opened or created.
  TFileStream(const std::wstring &aFileName, TMode aMode);

  std::size_t Read(void *aBuffer, std::size_t aCount) override;
  void Write(const void *aBuffer, std::size_t aCount) override;
  std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) override;
  std::int64_t Size() override;

private:
  TFileHandle fFile;
};
