// The restore at close: the relocated files go back into their subfolders and
// the control files written in the run are deleted.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class ProfileFile;
class System;
} // namespace platform

namespace prepare {

// Whether a file-list entry may be moved back: a relative path that stays
// inside the control file's folder. Absolute paths, drive names, ".." and
// empty parts, forward slashes and parts ending in a dot or a blank are
// refused, since the list is data anyone may have written.
bool isSafeRelativePath(std::string_view entry);

// The entries of a control file's "Files" list that the restore moves back, in
// file order: each relative path with its file name (where the file lies in
// the control file's folder). An entry named exactly `ownName`, the
// control file's name, is never moved.
void forEachFileToRestore(
    const platform::ProfileFile& ini, std::string_view ownName,
    const std::function<void(std::string_view relative, std::string_view name)>& each);

// A listed file that stays at the top of a folder instead of going back into
// its place there.
struct NotBack {
    std::string folder;   // the folder the file was moved up into, with its backslash
    std::string relative; // where it belongs in that folder
    std::string path() const { return folder + relative; }
    bool operator==(const NotBack&) const = default;
};

// What a restore left: the files that stay at the top instead of in their
// places (whatever the reason; a file the installer took away is not among
// them), and the control files that are there but cannot be read, whose files
// stay where they are.
struct RestoreReport {
    std::vector<NotBack> notBack;
    std::vector<std::string> unreadable;
};

// Restores the folder of one control file and deletes it. A control file that
// is gone, or that holds no "InstallDir", is left alone, and so is one that
// cannot be read. The control file is deleted only after every move, so a
// tool killed midway leaves it for the next run to finish the job. A move
// never goes through a link or junction, and the only file deleted is the
// tool's own copy that a move cut short left at the top.
RestoreReport restoreControlFile(platform::System& sys, const std::string& controlFile);

// Whether a run cut short left the folder of this control file relocated: it
// carries "InstallDir" and a file of its list that belongs in a subfolder
// stands at the top under its listed name, where the restore would move it.
bool leftRelocated(platform::System& sys, const std::string& controlFile);

// Tries the files that stayed at the top once more, as the restore tried
// them; returns those that still stay.
std::vector<NotBack> retryRestore(platform::System& sys, const std::vector<NotBack>& notBack);

} // namespace prepare
