// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The version-information strings of a Windows program file, read straight from its PE resource
// section, so the same reader works on every platform.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

class DosDevices;

// The version resource (VS_VERSIONINFO) of a PE file; nothing when the file is no PE file or holds
// none.
std::optional<std::string> FindVersionResource(std::string_view peFile);

// The version resource as VerQueryValue sees it.
class VersionResource {
public:
    explicit VersionResource(std::string block) : block_(std::move(block)) {}
    // The fixed file information of the root block "\".
    bool hasFixedInfo() const;
    // The first entry of "\VarFileInfo\Translation": (language, code page).
    std::optional<std::pair<std::uint16_t, std::uint16_t>> translation() const;
    // The value at "\StringFileInfo\<table>\<key>", up to its first NUL; nothing when missing.
    std::optional<std::string> string(const std::string& table, const std::string& key) const;

private:
    std::string block_;
};

class TGetVersionInfoFromFile {
public:
    explicit TGetVersionInfoFromFile(const DosDevices& dd) : dd_(dd) {}
    static constexpr const char* Keys[] = {"CompanyName",  "FileDescription", "FileVersion",
                                           "InternalName", "LegalCopyright",  "OriginalFilename",
                                           "ProductName",  "ProductVersion"};
    static constexpr std::size_t MaxText = 256;

    const std::string& fileName() const { return fileName_; }
    // Reads the version information of the file (a Windows path).
    void setFileName(const std::string& path);
    const std::vector<std::string>& VersionStrings() const { return strings_; }
    const std::vector<std::string>& VersionCategories() const { return categories_; }

private:
    void ReadVersionInfo();
    const DosDevices& dd_;
    std::string fileName_;
    std::vector<std::string> strings_, categories_;
};

} // namespace halyard
