// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drive mapping: every path Halyard shows, stores or generates stays a Windows path text, and
// only when a file is touched is it translated to a host path. Drive letters map to host folders
// through a folder of links ("c:", "z:", ...) under Halyard's data folder, the way Wine does it.
// Lookup is case-insensitive per component and ignores trailing blanks of names, as Windows does.
// On Windows the mapping is the identity.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/folder_index.h"

namespace halyard {

class DosDevices {
public:
    // root holds "dosdevices/" (the drive links) and "drive_c/" (the default C: drive).
    explicit DosDevices(std::filesystem::path root);

    // $XDG_DATA_HOME/halyard, else ~/.local/share/halyard.
    static std::filesystem::path defaultRoot();
    // Creates the root, drive_c and the default links c: -> drive_c and z: -> / when missing.
    void ensureCreated() const;
    const std::filesystem::path& root() const { return root_; }

    // Maps (or re-maps) a drive letter to a host folder.
    void mapDrive(char letter, const std::filesystem::path& target) const;
    // Letters of the mapped drives, in order ("CZ").
    std::string drives() const;

    // The model's current directory ("the process's current directory"), a Windows path.
    const std::string& currentDirectory() const { return cwd_; }
    // Throws halyard::Error when the folder does not exist.
    void setCurrentDirectory(const std::string& windowsPath);

    // Absolute, normalised Windows path ("C:\a\b"): relative paths resolve against the current
    // directory, "." and ".." are folded, "/" counts as "\" and trailing blanks of names are dropped.
    std::string absolute(const std::string& windowsPath) const;
    // A path on a drive that is not mapped, or holding a NUL byte, gets a host path whose folder
    // never exists, so that nothing can be created there (and map the drive by accident).
    std::filesystem::path toHost(const std::string& windowsPath) const;
    // True when the drive of the path (the current one for a path without a drive) is mapped.
    bool driveMapped(const std::string& windowsPath) const;
    // The Windows path of a host path, through the drive that maps it most closely.
    std::string toWindows(const std::filesystem::path& host) const;
    // A host folder for every mapped drive, reached through a link named after its letter ("C:") in
    // a folder of Halyard's own, so a file dialog can list the drives as the user knows them.
    std::vector<std::filesystem::path> letterFolders() const;
    // The host path of a Windows path through its drive's letter folder (".../letters/C:/texassource"):
    // where a file dialog opens, so that its path still reads as the Windows one.
    std::filesystem::path toLetterPath(const std::string& windowsPath) const;
    // A path named on a command line: a Windows path ("C:\x\demo.prj", "\\server\share\x.prj") stays
    // as it is, anything else is a host path, relative to the process's working folder. A network
    // path reaches no mapped drive, so it names no file here.
    std::string fromCommandLine(const std::string& arg) const;

    // File operations on Windows paths.
    bool fileExists(const std::string& path) const;
    bool dirExists(const std::string& path) const;
    // One level, as the original's directory creation: fails (halyard::Error) on a missing parent.
    void createDir(const std::string& path) const;
    void createDirs(const std::string& path) const;
    // Throws "Cannot open file %s".
    std::vector<std::string> readLines(const std::string& path) const;
    std::string readBytes(const std::string& path) const;
    // Atomic; throws "Cannot create file %s" and leaves the old file intact.
    void writeLines(const std::string& path, const std::vector<std::string>& lines) const;
    void writeBytes(const std::string& path, const std::string& bytes) const;
    // The same for a file Halyard makes (IDE.BAT, intvecs.bat, a saved command file): a link under
    // that name is replaced by the new file, never written through (WriteGeneratedFileAtomic).
    void writeGeneratedLines(const std::string& path, const std::vector<std::string>& lines) const;
    void writeGeneratedBytes(const std::string& path, const std::string& bytes) const;
    // Whole-file atomic copy, never through a link at the destination; false when it failed.
    bool copyFile(const std::string& from, const std::string& to) const;
    std::optional<std::filesystem::file_time_type> lastWriteTime(const std::string& path) const;
    // Which file a path names and when it was last written; nullopt when it names no plain file.
    // Two stamps differ when the file was rewritten or replaced, whatever the clock's grain.
    struct FileStamp {
        std::uintmax_t device = 0, inode = 0; // 0 where the platform does not tell
        std::filesystem::file_time_type written;
        bool operator==(const FileStamp&) const = default;
    };
    std::optional<FileStamp> fileStamp(const std::string& path) const;
    // Names in a folder matching a mask such as "*.c;*.h" (case-insensitive), sorted; and subfolders.
    std::vector<std::string> listFiles(const std::string& dir, const std::string& mask) const;
    std::vector<std::string> listDirs(const std::string& dir) const;

private:
    std::filesystem::path driveLink(char letter) const;
    std::filesystem::path root_;
    std::string cwd_;
    std::shared_ptr<FolderIndex> index_ = std::make_shared<FolderIndex>();
};

// True when name matches one of the ";"-separated wildcard masks ("*.c;*.h"), case-insensitively.
bool MatchesMask(const std::string& name, const std::string& masks);

} // namespace halyard
