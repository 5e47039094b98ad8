#pragma once
// Starting a build and judging it: the build regenerates ide.bat, saves the project, starts the
// batch without waiting for it and arms `CompileTimer`; when the timer fires, the linker's output
// file tells whether the build updated it, created it or failed. A batch the launcher knows to be
// still running is waited for instead of being judged half-way.
#include <string>

namespace halyard {

class TEmbedded;
class MenuItem;

class BuildMonitor {
public:
    explicit BuildMonitor(TEmbedded& e);

    // "Build All" and the tool bar's "Compile".
    void Compile1Click(const MenuItem* sender = nullptr);
    // "Compilie": a build without the link stage.
    void Compile0nly();
    // The completion check, run by `CompileTimer`.
    void CompileTimerTimer();

    // 1 when the output file existed just before the build started, else 0.
    int tag = 0;

    static constexpr int CheckDelay = 5000;
    // How often a build that outlived the first check is looked at again.
    static constexpr int RecheckDelay = 500;

private:
    TEmbedded& e;
};

} // namespace halyard
