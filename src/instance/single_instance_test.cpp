#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "config/launch_settings.h"
#include "instance/instance_request.h"
#include "instance/single_instance.h"
#include "platform/instance_channel.h"

namespace {

std::string number(std::uint32_t value) {
    return std::string{static_cast<char>(value & 0xff), static_cast<char>((value >> 8) & 0xff),
                       static_cast<char>((value >> 16) & 0xff), static_cast<char>(value >> 24)};
}

TEST(InstanceRequest, EveryTextComesBackExactlyAndTheLimitsHold) {
    std::vector<std::string> most(kMaxInstanceArguments, "");
    InstanceRequest fits[] = {
        {"", {}},
        {"C:\\work dir", {"", "with blank", "\"q\" 'q'", std::string("nul\0inside", 10), "gr\xc3\xbc\xc3\x9f" "e"}},
        {"/w", most},
        {std::string(kMaxInstanceRequestBytes - 12, 'd'), {}},
    };
    for (const InstanceRequest& request : fits) {
        std::optional<std::string> bytes = encodeInstanceRequest(request);
        ASSERT_TRUE(bytes) << request.arguments.size();
        std::optional<std::size_t> length = instanceRequestLength(bytes->substr(0, kInstanceLengthBytes));
        ASSERT_EQ(length, bytes->size() - kInstanceLengthBytes);
        EXPECT_EQ(decodeInstanceRequest(bytes->substr(kInstanceLengthBytes)), request);
    }
    most.push_back("");
    EXPECT_FALSE(encodeInstanceRequest({"", most}));
    EXPECT_FALSE(encodeInstanceRequest({std::string(kMaxInstanceRequestBytes - 11, 'd'), {}}));
}

// What a start may send that the running instance refuses: none of it is taken for a request.
TEST(InstanceRequest, MalformedOrOversizedBodiesAreRefused) {
    std::string valid = encodeInstanceRequest({"/w", {"a", "bc"}})->substr(kInstanceLengthBytes);
    const std::string refused[] = {
        "",
        valid.substr(0, valid.size() - 1),  // cut short
        valid + "x",                        // more than one request
        number(3) + number(2) + "/w" + number(1) + "a",  // fewer arguments than it counts
        number(kMaxInstanceArguments + 1) + std::string(4 * (kMaxInstanceArguments + 2), '\0'),
        number(0) + number(0xffffffff) + "/w",  // a length beyond the bytes
        std::string(kMaxInstanceRequestBytes, '\0'),
    };
    for (const std::string& body : refused) EXPECT_FALSE(decodeInstanceRequest(body)) << body.size();
    EXPECT_FALSE(instanceRequestLength(number(kMaxInstanceRequestBytes)));
    EXPECT_FALSE(instanceRequestLength("abc"));
}

TEST(SingleInstanceDirective, NamesAClassAndAStaticMethod) {
    struct Case {
        std::string value, className, method;
    } cases[] = {
        {"app.Main.open", "app/Main", "open"}, {"Main.open", "Main", "open"}, {"a.Outer$Inner.m", "a/Outer$Inner", "m"},
        {"", "", ""}, {"open", "", ""}, {".open", "", ""}, {"app.Main.", "", ""},
    };
    for (const Case& c : cases) {
        LaunchSettings parser;
        parser.applyDirective("SetSingleInstance", "old.Class.method");
        parser.applyDirective("setsingleinstance", c.value);
        EXPECT_EQ(parser.singleInstanceClass + " " + parser.singleInstanceMethod, c.className + " " + c.method) << c.value;
    }
}

// The channel through the real platform layer: one owner, a client that reaches it, bytes both
// ways, a wait that runs out told from a close, and a name that is free again once the owner
// is gone.
TEST(InstanceChannel, OneOwnerAndClientsThatReachIt) {
    std::string key = instanceKey("/test/" + std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id())));
    platform::ChannelClaim owner = platform::claimInstanceChannel(key, 2000);
    ASSERT_EQ(owner.outcome, platform::ChannelClaim::Outcome::Owner) << owner.reason;
    for (int round = 0; round < 2; ++round) {
        platform::ChannelClaim client = platform::claimInstanceChannel(key, 2000);
        ASSERT_EQ(client.outcome, platform::ChannelClaim::Outcome::Running) << client.reason;
        std::unique_ptr<platform::ChannelConnection> served = owner.listener->accept();
        ASSERT_TRUE(served);
        EXPECT_TRUE(client.connection->send("request", 1000));
        EXPECT_EQ(served->receive(7, 1000), std::string("request"));
        bool timedOut = false;
        EXPECT_FALSE(served->receive(1, 100, &timedOut)) << "nothing more came";
        EXPECT_TRUE(timedOut) << "the wait ran out";
        EXPECT_TRUE(served->send("D", 1000));
        EXPECT_EQ(client.connection->receive(1, 1000), std::string("D"));
        EXPECT_NE(client.connection->peerProcessId(), 0u);
        served.reset();
        EXPECT_FALSE(client.connection->receive(1, 1000, &timedOut)) << "the owner closed";
        EXPECT_FALSE(timedOut) << "a close is no wait that ran out";
    }
    std::thread stopper([&owner] { owner.listener->stop(); });
    EXPECT_FALSE(owner.listener->accept());
    stopper.join();
    owner.listener.reset();
    platform::ChannelClaim again = platform::claimInstanceChannel(key, 2000);
    EXPECT_EQ(again.outcome, platform::ChannelClaim::Outcome::Owner) << again.reason;
}

// The running instance's side without a VM: a whole request has its receipt at once, before
// any VM; a malformed one none; and a request taken but not begun with goes back to its start
// (the connection closes without the method's start) when the instance ends.
TEST(InstanceListener, TakesRequestsAtOnceAndHandsBackThoseNotBegun) {
    std::string key = instanceKey("/test/listener/" + std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id())));
    platform::ChannelClaim owner = platform::claimInstanceChannel(key, 2000);
    ASSERT_EQ(owner.outcome, platform::ChannelClaim::Outcome::Owner) << owner.reason;
    auto listener = std::make_unique<InstanceListener>(std::move(owner.listener), "app/Main", "open");
    listener->start();
    platform::ChannelClaim taken = platform::claimInstanceChannel(key, 2000);
    platform::ChannelClaim refused = platform::claimInstanceChannel(key, 2000);
    ASSERT_EQ(taken.outcome, platform::ChannelClaim::Outcome::Running) << taken.reason;
    ASSERT_EQ(refused.outcome, platform::ChannelClaim::Outcome::Running) << refused.reason;
    EXPECT_TRUE(taken.connection->send(*encodeInstanceRequest({"/w", {"a"}}), 1000));
    EXPECT_EQ(taken.connection->receive(1, 2000), std::string(1, kInstanceReceipt));
    EXPECT_TRUE(taken.connection->send(std::string(1, kInstanceConfirmed), 1000));
    EXPECT_TRUE(refused.connection->send(number(kMaxInstanceRequestBytes), 1000));
    EXPECT_FALSE(refused.connection->receive(1, 2000)) << "no receipt for a request beyond the limit";
    unsigned long long before = platform::steadyMilliseconds();
    listener.reset();
    EXPECT_FALSE(taken.connection->receive(1, 5000)) << "handed back, not begun with";
    EXPECT_LT(platform::steadyMilliseconds() - before, 4000u) << "closed, not left to time out";
}

}  // namespace
