// What the component's list cache will give the host at start-up. The component tells its listeners "list
// ready" after a cache load and again after discovery, with the same notification; the host tells the two
// apart by knowing beforehand whether the cache will produce a list at all.
#pragma once

#include <string>

// The cache file of the soft list: in the host's cache folder when it gave one, else in the fixed folder below
// the user's application data.
std::wstring SoftCacheFilePath(const std::wstring& cacheDir);

// True when loading the file can give a non-empty list: it holds a soft-list payload with at least one record
// whose registry key still has a display name (the load drops the others). A cache of another rules version is
// deleted by the load; the caller sees that by the file being gone.
bool CacheMayGiveList(const std::wstring& path);

bool FileExists(const std::wstring& path);

// A cache folder the user gave, made an absolute path without trailing backslash and created when missing; false
// with the reason when it cannot be.
bool PrepareCacheDir(std::wstring& dir, std::wstring& error);
