// The cabinet tool's .inf text: named sections of lines, and the syntax of
// the fields inside a line (commas, quotes, %string% references).
#pragma once

#include <map>
#include <string>
#include <vector>

struct InfLine {
    int number;
    std::wstring text;
};

struct InfSection {
    std::wstring name;
    std::vector<InfLine> lines;
};

struct InfFile {
    std::vector<InfSection> sections;
    // Section names in lower case to their place in `sections`.
    std::map<std::wstring, size_t> index;
};

// String names to their texts, the names in lower case.
using InfStrings = std::map<std::wstring, std::wstring>;

// Splits the text into sections, dropping blank lines and comments. Sections
// of the same name are merged, as the cabinet tool does. Fails on a line
// outside any section or a malformed section header.
bool ParseInf(const std::wstring& text, InfFile& inf, std::wstring& error);

// Section names compare without regard to case.
const InfSection* FindSection(const InfFile& inf, const std::wstring& name);

// Splits "key = value" at the first '=' outside quotes, both sides trimmed.
bool SplitKeyValue(const std::wstring& text, std::wstring& key, std::wstring& value);

// Splits at the commas outside quotes; each field is trimmed and unquoted
// ("" inside quotes is one quote). Fails on an unterminated quote.
bool SplitFields(const std::wstring& text, std::vector<std::wstring>& fields);

// Replaces every %name% by its string, also inside the strings it brings in;
// %% is one percent sign. Fails on an unknown name, an unpaired % or a chain
// of references too deep to be anything but a loop.
bool ExpandStrings(const std::wstring& text, const InfStrings& strings, std::wstring& out,
                   std::wstring& error);

std::wstring LowerCase(const std::wstring& text);
std::wstring Trim(const std::wstring& text);
