// Texts a host shows to people: Win32 errors in words, and paths as the user knows them (under Wine, the Linux
// path of a Windows one).
#pragma once

#include <windows.h>

#include <string>

// "The system cannot find the path specified. (error 3)"; the number alone when the system has no text.
std::wstring ErrorText(DWORD dwError);
// The same for an HRESULT, with the code in hex.
std::wstring HResultText(HRESULT hr);

// True when the process runs under Wine.
bool RunningUnderWine();
// Under Wine the Linux path of a Windows path (empty when it has none); elsewhere empty.
std::wstring LinuxPath(const std::wstring& windowsPath);
// Under Wine the Windows path of a Linux one (empty when Wine has none); elsewhere empty.
std::wstring WindowsPathOfLinux(const std::wstring& linuxPath);
// The path the user works with: the Linux path under Wine when there is one, else the path itself.
std::wstring UserPath(const std::wstring& windowsPath);

std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);
