// One time server per PC: the named mutex under wine (scripts/test-windows.sh
// runs this under setpriv --bounding-set -sys_time).
#include "platform/win32/win32_single_instance.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orvik::platform {
namespace {

std::wstring TestName(const wchar_t* which) {
  return std::wstring(L"Local\\OrvikSingleInstanceTest") + which +
         std::to_wstring(::GetCurrentProcessId());
}

TEST(Win32SingleInstanceTest, OnlyTheFirstHolderOfANameIsFirstUntilItEnds) {
  const std::wstring name = TestName(L"A");
  auto first = std::make_unique<Win32SingleInstance>(name.c_str());
  EXPECT_TRUE(first->first());
  {
    const Win32SingleInstance second(name.c_str());
    EXPECT_FALSE(second.first());
    const Win32SingleInstance other(TestName(L"B").c_str());
    EXPECT_TRUE(other.first()) << "another name is another server";
  }
  EXPECT_FALSE(Win32SingleInstance(name.c_str()).first()) << "the first still holds it";
  first.reset();
  EXPECT_TRUE(Win32SingleInstance(name.c_str()).first()) << "free again once the first ended";
}

}  // namespace
}  // namespace orvik::platform
