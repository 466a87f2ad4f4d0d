#pragma once

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>

// Raised when a shared object's destructor fails while its last handle is
// released: the object is half-destroyed, which is a program fault.
class EAssertionFailed : public std::logic_error {
public:
  using std::logic_error::logic_error;
};

// Reports a broken invariant and ends the process; for places that cannot
// throw.
[[noreturn]] void FailFast(const char *aMessage) noexcept;

// Readable class name of a dynamic type, without compiler decoration.
std::string ClassNameOf(const std::type_info &aType);

// Shared-ownership handle for one object. Calling the handle returns the
// object; copies share it; the last release destroys it. Unlike shared_ptr,
// a throwing destructor is reported as an assertion instead of being UB.
template <class T> class TAuto {
public:
  TAuto() noexcept = default;
  TAuto(const TAuto &aOther) noexcept : fBlock(aOther.fBlock) { AddRef(); }
  TAuto(TAuto &&aOther) noexcept : fBlock(std::exchange(aOther.fBlock, nullptr)) {}
  // Copy and swap: a self-assignment copies, swaps and releases nothing.
  TAuto &operator=(const TAuto &aOther) { // NOLINT(bugprone-unhandled-self-assignment)
    TAuto copy(aOther);
    Swap(copy);
    return *this;
  }
  // Not noexcept: releasing the object held before may raise (see ~TAuto).
  TAuto &operator=(TAuto &&aOther) { // NOLINT(performance-noexcept-move-constructor)
    TAuto moved(std::move(aOther));
    Swap(moved);
    return *this;
  }
  // A destructor cannot throw without breaking every container that holds
  // handles, so an object that fails to die here ends the program with the
  // same message that Release() raises.
  ~TAuto() {
    try {
      Release();
    } catch (const EAssertionFailed &e) {
      FailFast(e.what());
    }
  }

  T &operator()() const {
    if (!fBlock)
      throw std::logic_error("Empty TAuto handle called");
    return *fBlock->fObject;
  }
  T *operator->() const { return &(*this)(); }
  T *Get() const noexcept { return fBlock ? fBlock->fObject : nullptr; }
  explicit operator bool() const noexcept { return fBlock != nullptr; }
  long UseCount() const noexcept { return fBlock ? fBlock->fRefs.load() : 0; }

  // Drops this handle; destroys the object when it was the last one. Throws
  // EAssertionFailed when the object's destructor fails.
  void Release() {
    Block *block = std::exchange(fBlock, nullptr);
    if (!block || block->fRefs.fetch_sub(1) != 1)
      return;
    std::unique_ptr<Block> owner(block);
    const std::string className = ClassNameOf(typeid(*block->fObject));
    try {
      delete block->fObject;
    } catch (...) {
      throw EAssertionFailed("Object of type " + className + " crashed in destructor");
    }
  }

  friend bool operator==(const TAuto &a, const TAuto &b) noexcept { return a.fBlock == b.fBlock; }

private:
  struct Block {
    explicit Block(T *aObject) : fObject(aObject) {}
    T *fObject;
    std::atomic<long> fRefs{1};
  };
  explicit TAuto(T *aObject) : fBlock(new Block(aObject)) {}
  void AddRef() noexcept {
    if (fBlock)
      fBlock->fRefs.fetch_add(1);
  }
  void Swap(TAuto &aOther) noexcept { std::swap(fBlock, aOther.fBlock); }

  Block *fBlock = nullptr;
  friend struct TAutoPtr;
};

struct TAutoPtr {
  // Takes ownership of aObject (which must not be null).
  template <class T> static TAuto<T> Make(std::unique_ptr<T> aObject) {
    if (!aObject)
      throw std::invalid_argument("TAutoPtr::Make needs an object");
    TAuto<T> handle(aObject.get());
    (void)aObject.release(); // the handle owns it now
    return handle;
  }
  template <class T> static TAuto<T> Make(T *aObject) { return Make(std::unique_ptr<T>(aObject)); }
};
