#pragma once
// The project file and the project commands.
#include <string>

namespace halyard {

class TEmbedded;

class ProjectFile {
public:
    explicit ProjectFile(TEmbedded& e) : e(e) {}
    void BuildProjectLines() {}
    void SetUpProject() {}
    void ResetInvalidProject() {}
    void SaveProjectClick() {}

private:
    [[maybe_unused]] TEmbedded& e;
};

} // namespace halyard
