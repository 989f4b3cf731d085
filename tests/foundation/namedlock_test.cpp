#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "foundation/namedlock.h"
#include "support/lockholder.h"

namespace {

TEST(NamedLockStates, LifeCycle)
{
    NamedLock lock;
    EXPECT_EQ(NamedLock::NotCreated, lock.StateCode());
    EXPECT_EQ(1, lock.Create("UPDATE"));
    EXPECT_EQ(NamedLock::Created, lock.StateCode());
    EXPECT_STREQ("UPDATE", lock.Name());
    EXPECT_EQ(0, lock.Create("AGAIN"));
    EXPECT_STREQ("UPDATE", lock.Name());

    lock.Enter();
    EXPECT_EQ(NamedLock::Held, lock.StateCode());
    lock.Leave();
    EXPECT_EQ(NamedLock::Released, lock.StateCode());
    EXPECT_EQ(1, lock.TryEnter());
    lock.Leave();

    lock.Delete();
    EXPECT_EQ(NamedLock::NotCreated, lock.StateCode());
    EXPECT_STREQ("", lock.Name());
    EXPECT_EQ(0, lock.Contention());
    lock.Delete();  // twice is harmless
    EXPECT_EQ(1, lock.Create("READ"));
}

TEST(NamedLockStates, NeverCreatedPassesThrough)
{
    NamedLock lock;
    lock.Enter();
    lock.Enter();
    lock.Leave();
    EXPECT_EQ(NamedLock::NotCreated, lock.StateCode());
    EXPECT_EQ(0, lock.TryEnter());
    EXPECT_FALSE(lock.Exists());
}

TEST(NamedLockStates, LongNamesAreCut)
{
    NamedLock lock;
    std::string name(400, 'n');
    lock.Create(name.c_str());
    EXPECT_EQ(259u, std::string(lock.Name()).size());
}

TEST(NamedLockThreads, TryEnterFailsWithoutWaitingWhileAnotherThreadHolds)
{
    NamedLock lock;
    lock.Create("UPDATE");
    LockHeldElsewhere other(lock);
    ASSERT_TRUE(other.Holding());

    // The holder only lets go after these calls return, so they cannot wait.
    EXPECT_EQ(0, lock.TryEnter());
    EXPECT_EQ(0, lock.TryEnter());
    EXPECT_EQ(0, lock.TryEnter());
    EXPECT_EQ(3, lock.Contention());

    other.Release();
    EXPECT_EQ(1, lock.TryEnter());
    lock.Leave();
    EXPECT_EQ(3, lock.Contention());
}

struct Counter {
    NamedLock* lock;
    long value;  // deliberately plain: only the lock protects it
    LONG failures;
};

const int kRounds = 20000;

DWORD WINAPI CountUnderLock(void* param)
{
    auto* c = static_cast<Counter*>(param);
    for (int i = 0; i < kRounds; ++i) {
        if (i % 2) {
            c->lock->Enter();
        } else {
            while (!c->lock->TryEnter())
                InterlockedIncrement(&c->failures);
        }
        long v = c->value;
        if (i % 64 == 0)
            Sleep(0);
        c->value = v + 1;
        c->lock->Leave();
    }
    return 0;
}

TEST(NamedLockThreads, ExcludesAndCountsEveryFailedTry)
{
    NamedLock lock;
    lock.Create("DRAW");
    Counter c = {&lock, 0, 0};
    HANDLE threads[4];
    for (HANDLE& t : threads)
        t = CreateThread(nullptr, 0, CountUnderLock, &c, 0, nullptr);
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (HANDLE t : threads)
        CloseHandle(t);
    EXPECT_EQ(4L * kRounds, c.value);
    EXPECT_EQ(c.failures, lock.Contention());
}

}  // namespace
