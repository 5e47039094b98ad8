// SPDX-License-Identifier: GPL-3.0-or-later
// The help-file reader: any bytes offered as a help file are refused, or read without a fault:
// its files, its contents and index, its popups and the topics of its context numbers. Built for
// fuzzing over a chmlib compiled with the sanitizers, so that a fault inside chmlib that the reader's
// own checks let through shows as a finding. (In Halyard the reader runs in a process of its own,
// halyard-help-reader, where such a fault would end only that process.)
#include <fstream>

#include "fuzz_drive.h"
#include "help/chm_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    // chmlib reads from a path: the input becomes a file on the harness's drive.
    static const std::filesystem::path file = fuzz::drive().cHost() / "input.chm";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::string damage;
    const auto chm = ChmFile::open(file, &damage);
    if (!chm) return 0;
    int read = 0;
    for (const std::string& f : chm->files()) {
        if (++read > 64) break;
        if (const auto bytes = chm->read(f); bytes && bytes->size() > ChmFile::MaxObjectSize) std::abort();
    }
    for (const std::string& sitemap : {chm->contentsFile, chm->indexFile})
        for (const SitemapEntry& e : ParseSitemap(chm->read(sitemap).value_or("")))
            if (e.level < 0 || e.level > SitemapMaxLevel) std::abort();
    ParsePopupTopics(chm->read("/CSHelp.txt").value_or(""));
    for (std::uint32_t id : {0u, 1u, 4u, 47u, 0xFFFFFFFFu})
        chm->topicForContext(id);
    return 0;
}
