// The descriptor owner closes what it holds on every way out, and the instance channel's claims
// and listeners leave no descriptor behind them.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "platform/instance_channel.h"
#include "platform/posix/owned_descriptor.h"

using platform::OwnedDescriptor;

namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

int openNull() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

std::size_t openDescriptors() {
    std::size_t count = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (::readdir(fds)) ++count;
        ::closedir(fds);
    }
    return count;
}

}  // namespace

TEST(OwnedDescriptor, ClosesOnEveryWayOutButARelease) {
    int scoped = openNull();
    { OwnedDescriptor owner(scoped); }
    EXPECT_FALSE(isOpen(scoped));

    int thrown = openNull();
    try {
        OwnedDescriptor owner(thrown);
        throw std::runtime_error("a claim that fails half-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(isOpen(thrown));

    OwnedDescriptor first(openNull());
    int moved = first.get();
    OwnedDescriptor second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_TRUE(isOpen(moved));
    second = OwnedDescriptor(openNull());  // the one held before is closed, the new one kept
    EXPECT_FALSE(isOpen(moved));
    EXPECT_TRUE(second.close());
    EXPECT_FALSE(second.valid());

    int kept;
    {
        OwnedDescriptor owner(openNull());
        kept = owner.release();
    }
    EXPECT_TRUE(isOpen(kept));
    ::close(kept);

    OwnedDescriptor failed(-1);  // what the system gives on failure is no descriptor
    EXPECT_FALSE(failed.valid());
    EXPECT_FALSE(failed.close());
}

TEST(OwnedDescriptor, AnInstanceChannelLeavesNoDescriptorOpen) {
    const std::string key = "descriptors-" + std::to_string(::getpid());
    std::size_t before = openDescriptors();
    {
        platform::ChannelClaim owner = platform::claimInstanceChannel(key, 2000);
        ASSERT_EQ(owner.outcome, platform::ChannelClaim::Outcome::Owner) << owner.reason;
        platform::ChannelClaim second = platform::claimInstanceChannel(key, 2000);
        EXPECT_EQ(second.outcome, platform::ChannelClaim::Outcome::Running) << second.reason;
    }
    EXPECT_EQ(openDescriptors(), before);
}
#endif
