// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/open_at_line.h"

#include <algorithm>

#include "base/paths.h"
#include "shell/embedded.h"

namespace halyard {

TCodeEd* OpenAtLine(TEmbedded& e, const std::string& path, int line) {
    TCodeEd* window = nullptr;
    const std::string wanted = e.dd.absolute(TrimRight(path));
    for (int i = 0; i < e.editors.count() && !window; ++i)
        if (!e.editors.child(i).closed() &&
            SameText(e.dd.absolute(TrimRight(e.editors.child(i).FileName)), wanted))
            window = &e.editors.child(i);
    if (window) {
        if (e.buildOutput.showEditor) e.buildOutput.showEditor(*window);
    } else {
        window = e.editors.LoadFile(path, 1);
        e.menu.Window1.setVisible(true);
    }
    if (!window || window->closed() || window->lineCount() == 0) return window;
    const size_t n = std::clamp<size_t>(static_cast<size_t>(std::max(line, 1)), 1,
                                        static_cast<size_t>(window->lineCount())) -
                     1;
    const size_t start = window->lineStart(n);
    const size_t end = n + 1 < static_cast<size_t>(window->lineCount()) ? window->lineStart(n + 1) - 1
                                                                        : window->text().size();
    window->select(start, end - start);
    return window;
}

} // namespace halyard
