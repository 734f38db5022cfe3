// The members of a Microsoft Cabinet, taken out with the platform's cabinet
// library (FDI) into a staging folder of their own, under their numbers.
#pragma once

#include <set>
#include <string>

// A new, empty folder under the temporary folder; gone again with its files
// when the holder goes.
class StagingFolder {
  public:
    StagingFolder();
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const std::wstring& Path() const { return path_; }

  private:
    std::wstring path_;
};

// The staged copy of member `number`: "member.NNN" in the folder.
std::wstring StagedMember(const std::wstring& folder, unsigned number);

// Writes every member of the cabinet into the folder as StagedMember and
// lists their numbers. Fails with a message on a cabinet the library cannot
// read, a member whose name does not end in a dot and three digits, two
// members of one number, or a member too large to be part of a package.
bool ExtractMembers(const std::wstring& cabinet, const std::wstring& folder,
                    std::set<unsigned>& members, std::wstring& error);
