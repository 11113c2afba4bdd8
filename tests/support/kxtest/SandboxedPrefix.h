// Tests and benchmarks that delete run only in a prefix that scripts/wine-harness created and sandboxed: its
// profile folders are plain folders of the prefix, and its Recycle Bin is a folder of the prefix, not the
// Unix user's. The harness marks such a prefix ready; everything else is refused.
#pragma once

#include <string>

namespace kxtest {

// Unix path of the Wine prefix this process runs in, without trailing slash; empty when not under Wine.
std::string PrefixUnixPath();

// Wine's mapping between Windows and Unix paths; empty when Wine cannot map the path.
std::wstring WindowsPathOfUnix(const std::string& unixPath);
std::string UnixPathOfWindows(const std::wstring& windowsPath);

// Why nothing may be deleted in the prefix at prefixUnixPath, or empty when it carries the harness's ready marker.
std::string SandboxRefusal(const std::string& prefixUnixPath);

// For main(): prints why on stderr and returns false when this process's prefix is not sandboxed.
bool RequireSandboxedPrefix();

}  // namespace kxtest
