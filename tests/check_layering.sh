#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The core's layering. A subsystem takes the shared context (shell/ide_context.h) and its peers,
# never the whole main window's model (shell/embedded.h), and a subsystem's header only declares the
# types it is given: either slip brings back the include cycles with the shell.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
if grep -rl '#include "shell/embedded.h"' src/core --include='*.cpp' --include='*.h' | grep -v '^src/core/shell/'; then
    echo "these files take the main window's model; give them the context and their peers" >&2
    status=1
fi
# The headers of the subsystems, and of the context they take.
mapfile -t models < <(grep -rl 'IdeContext& e' src/core --include='*.h' | grep -v '^src/core/shell/'; echo src/core/shell/ide_context.h)
for header in "${models[@]}"; do
    for other in "${models[@]}"; do
        [[ "$other" == "$header" ]] && continue
        if grep -q "#include \"${other#src/core/}\"" "$header"; then
            echo "$header includes $other: declare the type instead" >&2
            status=1
        fi
    done
done
exit "$status"
