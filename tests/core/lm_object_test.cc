#include "core/lm_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "core/lm_string.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

// Counts its destructions, to see exactly when Release deletes.
class Tracked : public virtual LmObject {
 public:
  explicit Tracked(int* deaths) : deaths_(deaths) {}
  ~Tracked() override { ++*deaths_; }

 private:
  int* deaths_;
};

// Holds an object's lock on another thread until told to let go.
class LockHolder {
 public:
  explicit LockHolder(LmObject* object) {
    started_ = thread_.Start([this, object] {
      object->Lock(0xFFFFFFFFu);
      held_ = true;
      while (!release_) platform::SleepMs(5);
      object->Unlock();
    });
    EXPECT_TRUE(started_);
    while (started_ && !held_) platform::SleepMs(1);
  }
  void Release() {
    release_ = true;
    if (started_) thread_.Join();
    started_ = false;
  }
  ~LockHolder() { Release(); }

 private:
  std::atomic<bool> held_{false};
  std::atomic<bool> release_{false};
  bool started_ = false;
  platform::Thread thread_;
};

long ElapsedMs(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

TEST(LmObjectTest, ReleaseDeletesOnlyWhenTheCountDropsFromOneToZero) {
  int deaths = 0;
  Tracked* object = new Tracked(&deaths);
  EXPECT_EQ(1u, object->AddRef());
  EXPECT_EQ(2u, object->AddRef());
  EXPECT_EQ(1u, object->Release());
  EXPECT_EQ(0, deaths);
  EXPECT_EQ(0u, object->Release());
  EXPECT_EQ(1, deaths);

  // An object whose count is 0 (on the stack) survives a stray Release.
  Tracked local(&deaths);
  EXPECT_EQ(0u, local.Release());
  EXPECT_EQ(0u, local.Release());
  EXPECT_EQ(1, deaths);
}

TEST(LmObjectTest, DeletingThroughTheBaseRunsTheWholeChain) {
  int deaths = 0;
  LmObject* object = new Tracked(&deaths);
  delete object;
  EXPECT_EQ(1, deaths);
}

TEST(LmObjectTest, SerialNumbersAreConsecutiveAndCopiesGetTheirOwn) {
  LmString a("a");
  LmString b("b");
  EXPECT_EQ(a.GetObjectId() + 1, b.GetObjectId());
  LmString c(a);
  EXPECT_EQ(b.GetObjectId() + 1, c.GetObjectId());
  int idBefore = c.GetObjectId();
  c = b;  // assignment copies the value, not the identity
  EXPECT_EQ(idBefore, c.GetObjectId());
  LmString* heap = new LmString("h");
  heap->AddRef();
  LmString d(*heap);
  EXPECT_EQ(0u, d.Release());  // the copy's count starts at 0
  EXPECT_EQ(0u, heap->Release());
}

TEST(LmObjectTest, BaseOperations) {
  LmObject object;
  LmString text("x");
  EXPECT_STREQ("LmObject", object.GetClassName());
  EXPECT_STREQ("LmObject", text.GetClassName());
  EXPECT_EQ(0u, object.GetErrorCode());
  EXPECT_EQ(nullptr, object.GetErrorText(0xF0000001u));
  int flag = 0;
  EXPECT_EQ(1, object.QueryFlag(&flag));
  EXPECT_EQ(1, flag);
}

TEST(LmObjectTest, LockIsReentrantForItsHolder) {
  LmObject object;
  EXPECT_EQ(1, object.Lock(0));
  EXPECT_EQ(1, object.Lock(250));
  EXPECT_EQ(1, object.Lock(0xFFFFFFFFu));
  object.Unlock();
  object.Unlock();
  object.Unlock();
  // Fully released: another thread can take it at once.
  platform::Thread other;
  ASSERT_TRUE(other.Start([&object] {
    EXPECT_EQ(1, object.Lock(0));
    object.Unlock();
  }));
  other.Join();
}

TEST(LmObjectTest, LockTimesOutWhileAnotherThreadHoldsIt) {
  LmObject object;
  LockHolder holder(&object);

  // A single attempt never sleeps: a poll would cost 100 ms every time, so
  // the fastest of a few attempts tells, however busy the machine.
  long fastest = 100000;
  for (int i = 0; i < 5; ++i) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, object.Lock(0));
    fastest = std::min(fastest, ElapsedMs(start));
  }
  EXPECT_LT(fastest, 90);

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, object.Lock(250));
  long waited = ElapsedMs(start);
  // Attempts at about 0, 100, 200 and 300 ms; loose bounds for busy machines.
  EXPECT_GE(waited, 240);
  EXPECT_LT(waited, 3000);
}

TEST(LmObjectTest, TimedLockSucceedsWhenTheHolderLetsGo) {
  LmObject object;
  LockHolder holder(&object);
  platform::Thread releaser;
  ASSERT_TRUE(releaser.Start([&holder] {
    platform::SleepMs(150);
    holder.Release();
  }));
  EXPECT_EQ(1, object.Lock(10000));
  object.Unlock();
  releaser.Join();
}

TEST(LmObjectTest, UnlimitedLockWaitsForTheHolder) {
  LmObject object;
  LockHolder holder(&object);
  lmtest::ExpectWaitsUntilReleased(
      [&] {
        object.Lock(0xFFFFFFFFu);
        object.Unlock();
      },
      [&] { holder.Release(); }, 200);
}

TEST(LmObjectTest, CountIsExactUnderConcurrentAddRefAndRelease) {
  int deaths = 0;
  Tracked* object = new Tracked(&deaths);
  object->AddRef();
  platform::Thread threads[4];
  for (auto& t : threads) {
    ASSERT_TRUE(t.Start([object] {
      for (int i = 0; i < 10000; ++i) {
        object->AddRef();
        object->Release();
      }
    }));
  }
  for (auto& t : threads) t.Join();
  EXPECT_EQ(0, deaths);
  EXPECT_EQ(0u, object->Release());
  EXPECT_EQ(1, deaths);
}

}  // namespace
