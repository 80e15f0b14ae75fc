// The resources of both programs, read back from the .exe files as Windows
// reads them: the manifest's settings, the version information of the
// project's version, and the icon in every size Windows asks for. The
// programs are found beside this test's folder (build-windows/bin).
// They are loaded as data files only, never run; the test itself runs under
// wine through scripts/test-windows.sh, whose wine processes have no
// CAP_SYS_TIME (setpriv --bounding-set -sys_time).
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "orvik_version.h"
#include "ui/win32/resource_ids.h"

namespace orvik::testing {
namespace {

std::filesystem::path ProgramPath(const wchar_t* name) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(self).parent_path().parent_path() / L"bin" / name;
}

// The program's image, mapped for its resources only.
class ResourceImage {
 public:
  explicit ResourceImage(const std::filesystem::path& path)
      : module_(::LoadLibraryExW(path.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ResourceImage() {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  ResourceImage(const ResourceImage&) = delete;
  ResourceImage& operator=(const ResourceImage&) = delete;

  bool loaded() const { return module_ != nullptr; }
  // The bytes of resource `name` of `type`; empty when there is none.
  std::string Bytes(const wchar_t* name, const wchar_t* type) const {
    const HRSRC found = ::FindResourceW(module_, name, type);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module_, found)));
    return data == nullptr ? std::string() : std::string(data, ::SizeofResource(module_, found));
  }

 private:
  HMODULE module_;
};

std::wstring VersionString(const std::vector<char>& info, const wchar_t* key) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
  if (!::VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
    return {};
  return std::wstring(value, length > 0 ? length - 1 : 0);
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class ProgramResourcesTest : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ProgramResourcesTest, ManifestAsksForCommonControls6PerMonitorDpiAndNoElevation) {
  const ResourceImage image(ProgramPath(GetParam()));
  ASSERT_TRUE(image.loaded());
  const std::string manifest = image.Bytes(CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  for (const char* expected : {
           R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
           ">PerMonitorV2</dpiAwareness>",
           ">true/pm</dpiAware>",
           R"(<requestedExecutionLevel level="asInvoker")",
           R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",
       }) {
    EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
  }
}

TEST_P(ProgramResourcesTest, VersionInformationIsTheProjectsVersion) {
  const std::filesystem::path path = ProgramPath(GetParam());
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(std::sscanf(kVersion, "%u.%u.%u", &major, &minor, &patch), 3);
  EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
  EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(VersionString(info, L"FileVersion"), Wide(kVersion));
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Orvik GPS Time");
  EXPECT_EQ(VersionString(info, L"OriginalFilename"), GetParam());
}

TEST_P(ProgramResourcesTest, IconHasEverySizeFrom16To256) {
  const ResourceImage image(ProgramPath(GetParam()));
  ASSERT_TRUE(image.loaded());
  // The icon group: a 6-byte header (reserved, type 1, count), then 14-byte
  // entries whose first byte is the width (0 for 256).
  const std::string group = image.Bytes(MAKEINTRESOURCEW(ORVIK_PROGRAM_ICON), RT_GROUP_ICON);
  ASSERT_GE(group.size(), 6u);
  const auto count = static_cast<std::size_t>(static_cast<unsigned char>(group[4]) |
                                              static_cast<unsigned char>(group[5]) << 8);
  ASSERT_EQ(group.size(), 6 + 14 * count);
  std::set<int> widths;
  for (std::size_t i = 0; i < count; ++i) {
    const int width = static_cast<unsigned char>(group[6 + 14 * i]);
    widths.insert(width == 0 ? 256 : width);
  }
  EXPECT_EQ(widths, (std::set<int>{16, 20, 24, 32, 40, 48, 64, 256}));
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ProgramResourcesTest,
                         ::testing::Values(L"orvik-gpstime.exe", L"orvik-gpstimed.exe"),
                         [](const auto& program) {
                           return std::string(program.index == 0 ? "Desktop" : "Console");
                         });

}  // namespace
}  // namespace orvik::testing
