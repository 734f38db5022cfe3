// The .inf text: sections, fields and string references.
#include "inf_file.h"

namespace {

constexpr int MaxReferenceDepth = 16;

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// Cuts a comment (';' outside quotes) off a line.
std::wstring StripComment(const std::wstring& line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == L'"') {
            quoted = !quoted;
        } else if (line[i] == L';' && !quoted) {
            return line.substr(0, i);
        }
    }
    return line;
}

bool Expand(const std::wstring& text, const InfStrings& strings, int depth, std::wstring& out,
            std::wstring& error) {
    if (depth > MaxReferenceDepth) {
        error = L"string references nest too deep (a loop?) in \"" + text + L"\"";
        return false;
    }
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != L'%') {
            out += text[i++];
            continue;
        }
        size_t end = text.find(L'%', i + 1);
        if (end == std::wstring::npos) {
            error = L"unpaired % in \"" + text + L"\"";
            return false;
        }
        std::wstring name = text.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += L'%';
        } else {
            auto found = strings.find(LowerCase(name));
            if (found == strings.end()) {
                error = L"unknown string %" + name + L"%";
                return false;
            }
            if (!Expand(found->second, strings, depth + 1, out, error)) {
                return false;
            }
        }
        i = end + 1;
    }
    return true;
}

} // namespace

std::wstring LowerCase(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return out;
}

std::wstring Trim(const std::wstring& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsSpace(text[first])) {
        ++first;
    }
    while (last > first && IsSpace(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

bool ParseInf(const std::wstring& text, InfFile& inf, std::wstring& error) {
    inf = InfFile();
    InfSection* current = nullptr;
    size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        ++number;
        std::wstring line = Trim(StripComment(text.substr(start, end - start)));
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        if (line[0] == L'[') {
            if (line.back() != L']' || line.size() < 3) {
                error = L"line " + std::to_wstring(number) + L": malformed section header";
                return false;
            }
            std::wstring name = Trim(line.substr(1, line.size() - 2));
            auto found = inf.index.emplace(LowerCase(name), inf.sections.size());
            if (found.second) {
                inf.sections.push_back(InfSection{name, {}});
            }
            current = &inf.sections[found.first->second];
            continue;
        }
        if (current == nullptr) {
            error = L"line " + std::to_wstring(number) + L": text outside any section";
            return false;
        }
        current->lines.push_back(InfLine{number, line});
    }
    return true;
}

const InfSection* FindSection(const InfFile& inf, const std::wstring& name) {
    auto found = inf.index.find(LowerCase(name));
    return found == inf.index.end() ? nullptr : &inf.sections[found->second];
}

bool SplitKeyValue(const std::wstring& text, std::wstring& key, std::wstring& value) {
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'"') {
            quoted = !quoted;
        } else if (text[i] == L'=' && !quoted) {
            key = Trim(text.substr(0, i));
            value = Trim(text.substr(i + 1));
            return !key.empty();
        }
    }
    return false;
}

bool SplitFields(const std::wstring& text, std::vector<std::wstring>& fields) {
    fields.clear();
    std::wstring field;
    // Spaces around a field go, spaces inside quotes stay: the field keeps
    // from its first to its last character that is quoted or not a space.
    size_t first = std::wstring::npos;
    size_t last = 0;
    bool quoted = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || (text[i] == L',' && !quoted)) {
            if (quoted) {
                return false;
            }
            fields.push_back(first == std::wstring::npos ? std::wstring()
                                                         : field.substr(first, last + 1 - first));
            field.clear();
            first = std::wstring::npos;
            continue;
        }
        wchar_t c = text[i];
        if (c == L'"' && quoted && i + 1 < text.size() && text[i + 1] == L'"') {
            ++i;
        } else if (c == L'"') {
            quoted = !quoted;
            continue;
        }
        if (quoted || !IsSpace(c)) {
            if (first == std::wstring::npos) {
                first = field.size();
            }
            last = field.size();
        }
        field += c;
    }
    return true;
}

bool ExpandStrings(const std::wstring& text, const InfStrings& strings, std::wstring& out,
                   std::wstring& error) {
    out.clear();
    return Expand(text, strings, 0, out, error);
}
