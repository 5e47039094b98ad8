// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file as the GUI's QSettings keeps it on Linux (~/.config/Orlin/Halyard.conf, section
// [General]), read and written without Qt so the headless program shares the user's settings.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "base/ports.h"

namespace halyard {

class IniSettings : public SettingsStore {
public:
    explicit IniSettings(std::filesystem::path file) : file_(std::move(file)) {}
    // $XDG_CONFIG_HOME/Orlin/Halyard.conf, else ~/.config/Orlin/Halyard.conf.
    static std::filesystem::path defaultFile();

    Value read(const std::string& name) override;
    bool write(const std::string& name, const std::string& text) override;

    static std::string escapeKey(const std::string& key);
    static std::string unescapeKey(const std::string& key);
    static std::string escapeValue(const std::string& text);
    // A value that QSettings would not read back as one string (a list, "@Variant(...)") is not text.
    static Value parseValue(const std::string& raw);

private:
    // The file is split into its values once and read again only when it changed on disk: reading
    // and splitting it for every value made a load take time in the square of the tools stored.
    struct Parsed {
        std::string stamp;                      // what identifies the file's present content
        std::map<std::string, std::string> raw; // name -> value as written, the first of a name
    };
    const Parsed* parsed();

    std::filesystem::path file_;
    std::optional<Parsed> parsed_;
};

} // namespace halyard
