// The instance channel's pipe on Windows: its name, its security, and a pipe of the same name
// that another security context made.
#ifdef _WIN32
#include "platform/instance_channel.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/wide_text.h"

namespace {

std::string sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return std::string();
    std::string converted = platform::fromWide(text);
    LocalFree(text);
    return converted;
}

std::string ownSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<BYTE> buffer(512);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size);
    CloseHandle(token);
    return sidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

TEST(InstanceChannelWin32, APipeOfTheUsersOwnGrantingNobodyElse) {
    const std::string key = "00c0ffee00c0ffee";
    std::string sid = ownSid();
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(platform::instanceChannelName(key), "\\\\.\\pipe\\launcher-instance-" + sid + "-" + key);
    platform::ChannelClaim owner = platform::claimInstanceChannel(key, 2000);
    ASSERT_EQ(owner.outcome, platform::ChannelClaim::Outcome::Owner) << owner.reason;
    HANDLE client = CreateFileW(platform::toWide(*platform::instanceChannelName(key)).c_str(), GENERIC_READ | GENERIC_WRITE,
                                0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    PSID pipeOwner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(client, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &pipeOwner,
                              nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(sidText(pipeOwner), sid);
    ASSERT_TRUE(dacl);
    ASSERT_EQ(static_cast<int>(dacl->AceCount), 1);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(sidText(&ace->SidStart), sid);
    LocalFree(descriptor);
    CloseHandle(client);
}

TEST(InstanceChannelWin32, APipeOfAnotherOwnerIsNeverUsed) {
    const std::string key = "00badbad00badbad";
    std::wstring name = platform::toWide(*platform::instanceChannelName(key));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE planted = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE, PIPE_TYPE_BYTE,
                                      PIPE_UNLIMITED_INSTANCES, 512, 512, 0, &attributes);
    LocalFree(descriptor);
    ASSERT_NE(planted, INVALID_HANDLE_VALUE);
    platform::ChannelClaim claim = platform::claimInstanceChannel(key, 2000);
    EXPECT_EQ(claim.outcome, platform::ChannelClaim::Outcome::Unusable);
    EXPECT_EQ(claim.reason, "a pipe of another owner is at the name: " + platform::fromWide(name));
    CloseHandle(planted);
}

}  // namespace

#endif  // _WIN32
