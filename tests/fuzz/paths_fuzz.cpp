// SPDX-License-Identifier: GPL-3.0-or-later
// Paths and the drive mapping: each input line is an operation (its first byte, "0" to "9") on a path (the
// rest). Whatever the paths hold, nothing outside the temporary drive is created, and every path
// on C: resolves inside the drive's folder.
#include <cstdlib>

#include "base/error.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    fuzz::FuzzDrive& d = fuzz::drive();
    d.reset();
    const std::string text = fuzz::bytesOf(data, size);
    const std::string inside = std::filesystem::canonical(d.cHost()).string();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        const std::string path = line.substr(1);
        try {
            switch ((static_cast<unsigned>(static_cast<unsigned char>(line[0])) - '0') % 10) {
            case 0: {
                const std::string abs = d.dd.absolute(path);
                // A network path keeps its own form ("\\\\server\\share"); every other one gets a drive.
                const bool network = abs.size() >= 2 && abs[0] == '\\' && abs[1] == '\\';
                if (!network && (abs.size() < 3 || abs[1] != ':' || abs[2] != '\\')) std::abort();
                // The system would cut a host path at a NUL, after a ".." perhaps.
                const std::string host = d.dd.toHost(path).lexically_normal().string();
                if (host.find('\0') != std::string::npos) std::abort();
                const bool nul = path.find('\0') != std::string::npos; // names nothing at all
                if (abs[0] == 'C' && !nul && host.rfind(inside, 0) != 0) std::abort();
                break;
            }
            case 1:
                (void)d.dd.fileExists(path);
                break;
            case 2:
                (void)d.dd.dirExists(path);
                break;
            case 3:
                d.dd.createDir(path);
                break;
            case 4:
                d.dd.createDirs(path);
                break;
            case 5:
                d.dd.writeBytes(path, path);
                break;
            case 6:
                (void)d.dd.readLines(path);
                break;
            case 7:
                (void)d.dd.listFiles(path, "*.*");
                break;
            case 8:
                d.dd.setCurrentDirectory(path);
                break;
            case 9:
                (void)d.dd.copyFile(path, ExtractFileDir(path) + "\\copy");
                break;
            }
        } catch (const Error&) {
        }
        d.checkContained();
    }
    return 0;
}
