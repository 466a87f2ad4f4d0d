#include "shared/AutoPtr.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct TCounted {
  explicit TCounted(int &aAlive) : fAlive(aAlive) { ++fAlive; }
  ~TCounted() { --fAlive; }
  int &fAlive;
  int Value = 7;
};

struct TExplodingOnDestroy {
  ~TExplodingOnDestroy() noexcept(false) { throw std::runtime_error("boom"); }
};

TEST(AutoPtr, CopiesShareOneObjectUntilTheLastRelease) {
  int alive = 0;
  {
    TAuto<TCounted> first = TAutoPtr::Make(new TCounted(alive));
    TAuto<TCounted> second = first;
    EXPECT_EQ(&first(), &second());
    EXPECT_EQ(2, first.UseCount());
    first.Release();
    EXPECT_EQ(1, alive);
    EXPECT_EQ(7, second().Value);
  }
  EXPECT_EQ(0, alive);
}

TEST(AutoPtr, AssignmentAndMoveReleaseThePreviousObject) {
  int alive = 0;
  TAuto<TCounted> a = TAutoPtr::Make(new TCounted(alive));
  TAuto<TCounted> b = TAutoPtr::Make(new TCounted(alive));
  EXPECT_EQ(2, alive);
  a = b;
  EXPECT_EQ(1, alive);
  TAuto<TCounted> c = std::move(a);
  EXPECT_FALSE(a);
  EXPECT_EQ(2, c.UseCount());
  c = c; // self-assignment keeps the object
  EXPECT_EQ(1, alive);
  b.Release();
  c.Release();
  EXPECT_EQ(0, alive);
}

TEST(AutoPtr, EmptyHandleIsFalseAndCallingItThrows) {
  TAuto<TCounted> empty;
  EXPECT_FALSE(empty);
  EXPECT_THROW(empty(), std::logic_error);
  EXPECT_THROW(TAutoPtr::Make(static_cast<TCounted *>(nullptr)), std::invalid_argument);
}

TEST(AutoPtr, FailingDestructorRaisesAssertionWithClassName) {
  TAuto<TExplodingOnDestroy> handle = TAutoPtr::Make(new TExplodingOnDestroy);
  TAuto<TExplodingOnDestroy> copy = handle;
  copy.Release(); // not the last one: nothing is destroyed
  try {
    handle.Release();
    FAIL() << "no assertion raised";
  } catch (const EAssertionFailed &e) {
    EXPECT_STREQ("Object of type (anonymous namespace)::TExplodingOnDestroy crashed in destructor",
                 e.what());
  }
  EXPECT_FALSE(handle);
}

TEST(AutoPtr, ConcurrentCopiesDestroyExactlyOnce) {
  int alive = 0;
  {
    TAuto<TCounted> shared = TAutoPtr::Make(new TCounted(alive));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([shared] {
        for (int i = 0; i < 10000; ++i) {
          TAuto<TCounted> copy = shared;
          (void)copy().Value;
        }
      });
    for (auto &thread : threads)
      thread.join();
    EXPECT_EQ(1, shared.UseCount());
  }
  EXPECT_EQ(0, alive);
}

} // namespace
