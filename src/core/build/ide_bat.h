#pragma once
// The build batch file IDE.BAT.
namespace halyard {

class TEmbedded;

class IdeBat {
public:
    explicit IdeBat(TEmbedded& e) : e(e) {}
    // Writes ide.bat; false when the generation stopped with one of its messages.
    bool MakeIdeBatClick() { return true; }

private:
    [[maybe_unused]] TEmbedded& e;
};

} // namespace halyard
