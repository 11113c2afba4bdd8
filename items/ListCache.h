// The soft list's cache file, saved by the exit task.
#pragma once

class CKxUninstMgr;

// Writes the soft list to its cache file under the data component's rule-data version; does nothing without
// a data component (the version would be unknown).
void SaveSoftListCache(CKxUninstMgr& mgr);
