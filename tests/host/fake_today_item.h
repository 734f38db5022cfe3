// What the host tests and their fake Today item share: the registry values
// that configure each fake item (in its own Today item key) and those in which
// it reports what happened to it (under FakeReportKey\<item name>).
#pragma once

#include <windows.h>

const wchar_t FakeReportKey[] = L"Software\\TovametTests";
// Item key values: the height the item reports, its colour (FakeTransparent:
// draw the host's watermark with a black frame on top), and the height it
// reports after a tap (0: unchanged).
const wchar_t FakeHeightValue[] = L"FakeHeight";
const wchar_t FakeColorValue[] = L"FakeColor";
const wchar_t FakeTapHeightValue[] = L"FakeTapHeight";
const DWORD FakeTransparent = 0xFFFFFFFF;
// Item key value: when 1, a tap opens a window with this caption and runs its
// modal loop inside the item's WM_LBUTTONUP, as the options dialog does, until
// a tap on that window closes it.
const wchar_t FakeModalValue[] = L"FakeModal";
const wchar_t FakeModalCaption[] = L"Fake Modal";
// Report values: entry calls and WM_DESTROYs per item, and the lParam of the
// last button down and up; under FakeReportKey itself, how often the library
// was loaded anew.
const wchar_t FakeCreatedValue[] = L"Created";
const wchar_t FakeDestroyedValue[] = L"Destroyed";
const wchar_t FakeTapDownValue[] = L"TapDown";
const wchar_t FakeTapUpValue[] = L"TapUp";
const wchar_t FakeLoadsValue[] = L"Loads";
// Report value: the item's WM_DESTROY count when its modal loop ended.
const wchar_t FakeDestroyedAtModalEndValue[] = L"DestroyedAtModalEnd";
