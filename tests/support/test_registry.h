// Registry helpers for tests: the item's key made, filled and removed.
#pragma once

#include <windows.h>

#include <string>

// Deletes the item's settings key with its values.
void DeleteItemKey();
// Creates the item's settings key, empty.
void CreateItemKey();
// Stores raw data of any type under a value name of the item's key.
void StoreRawValue(const wchar_t* name, DWORD type, const void* data, DWORD size);
void StoreDword(const wchar_t* name, DWORD value);
// Whether a key under HKEY_LOCAL_MACHINE exists.
bool KeyExists(const wchar_t* path);
// Reads a DWORD of the item's key; returns fallback when it is absent.
DWORD StoredDword(const wchar_t* name, DWORD fallback);
