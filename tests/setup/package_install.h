// The Tovamet package's cabinets beside the test program, the cabinet-installer stand-in
// run on it as its own process, and where an installation leaves its files
// and keys in the prefix.
#pragma once

#include <windows.h>

#include <string>

#include "test_registry.h"

extern const wchar_t ItemKey[];
extern const wchar_t TodayKey[];
extern const wchar_t AppsKey[];
extern const wchar_t AppKey[];

std::wstring PackageFolder();
// A cabinet of the package folder, the package's own by default.
std::wstring PackageCab(const wchar_t* name = L"Tovamet");
std::wstring WindowsFolder();
std::wstring InstallFolder();
// Where the package puts the item library.
std::wstring InstalledItem();

bool Exists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);

struct InstallerRun {
    DWORD exitCode;
    std::string output; // stdout and stderr
};

// Runs cab_installer.exe from the package folder with the arguments given.
InstallerRun RunInstaller(const std::wstring& arguments);
std::wstring Quoted(const std::wstring& text);
std::wstring InstallArguments(const std::wstring& cab);
// Removes the package by its application record's name.
std::wstring UninstallArguments();
