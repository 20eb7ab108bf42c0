// Files, folders and registry values of the Wine prefix, as tests arrange and inspect them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

// The folder of the running test program, where every program of the build lands.
std::wstring ProgramFolder();

// The folder that holds `path`: everything before its last backslash.
std::wstring ParentOf(const std::wstring& path);

::testing::AssertionResult WriteFileBytes(const std::wstring& path, std::string_view bytes);
bool PathExists(const std::wstring& path);

// The string value `name` (nullptr: the default value) of `key`, if there is one.
std::optional<std::wstring> RegistryText(HKEY root, const wchar_t* key, const wchar_t* name);

// Creates `folder` and its missing parents; a folder that cannot be made fails the test.
void CreateFolders(const std::wstring& folder);

// The paths in a folder whose names match `pattern`'s last part (which may hold * and ?).
std::vector<std::wstring> Matching(const std::wstring& pattern);

// Deletes `path` and everything below it, trying again for a while as long as a process that has
// just ended still holds a file; what stays fails the test. Links are removed, never followed.
void RemoveTree(const std::wstring& path);

// Makes `link` a Unix symbolic link to the folder `target` (Windows paths in the prefix). Windows
// programs cannot create links under Wine, so this runs /bin/ln; Wine shows the link as a
// directory reparse point.
::testing::AssertionResult PlantDirectoryLink(const std::wstring& link, const std::wstring& target);

}  // namespace test_support
