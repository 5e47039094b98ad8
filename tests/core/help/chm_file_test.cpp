// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "base/paths.h"
#include "help/chm_file.h"
#include "help/help.h"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

const fs::path helpSources = fs::path(HALYARD_SOURCE_DIR) / "help";

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::unique_ptr<ChmFile> halyardHelp() {
    return ChmFile::open(helpSources / "halyard.chm");
}

} // namespace

// The compiled help file is committed beside its sources because its compiler is not needed to
// build Halyard; this fails when a source changed and scripts/build-help was not run again.
TEST(HelpFile, TheCompiledFileHoldsTheSourcesAsTheyAre) {
    auto chm = halyardHelp();
    ASSERT_TRUE(chm) << "help/halyard.chm cannot be read";
    std::vector<std::string> stale;
    for (const auto& entry : fs::recursive_directory_iterator(helpSources)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().lexically_relative(helpSources).generic_string();
        if (name == "halyard.chm" || name == "halyard.hhp") continue;
        if (chm->read("/" + name) != slurp(entry.path())) stale.push_back(name);
    }
    for (const std::string& inside : chm->files()) {
        if (inside.find_first_of("#$") != std::string::npos || inside.back() == '/')
            continue; // the compiler's own
        if (!fs::exists(helpSources / inside.substr(1)))
            stale.push_back(inside + " (removed from the sources)");
    }
    std::string names;
    for (const auto& n : stale)
        names += " " + n;
    EXPECT_EQ(names, "") << "Run scripts/build-help: help/halyard.chm does not match its sources.";

    // The project file itself is not stored: its title, start page and topic map are.
    const std::string hhp = slurp(helpSources / "halyard.hhp");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(hhp, m, std::regex("Title=([^\r\n]*)")));
    EXPECT_EQ(chm->title, m[1].str());
    ASSERT_TRUE(std::regex_search(hhp, m, std::regex("Default topic=([^\r\n]*)")));
    EXPECT_EQ(chm->defaultTopic, m[1].str());
    std::map<std::string, std::string> alias;
    const std::regex aliasLine("(IDH_\\w+)=(\\S+)"), defineLine("#define (IDH_\\w+) (\\d+)");
    for (auto it = std::sregex_iterator(hhp.begin(), hhp.end(), aliasLine); it != std::sregex_iterator();
         ++it)
        alias[(*it)[1]] = "/" + (*it)[2].str();
    int mapped = 0;
    for (auto it = std::sregex_iterator(hhp.begin(), hhp.end(), defineLine); it != std::sregex_iterator();
         ++it) {
        ++mapped;
        EXPECT_EQ(chm->topicForContext(std::stoul((*it)[2])), alias[(*it)[1]]) << (*it)[1];
    }
    EXPECT_EQ(mapped, 18);
}

TEST(HelpFile, EveryHelpButtonsTopicHasAPageAndAPopup) {
    auto chm = halyardHelp();
    ASSERT_TRUE(chm);
    const auto popups = ParsePopupTopics(chm->read("/CSHelp.txt").value_or(""));
    namespace t = HelpTopic;
    for (int topic :
         {t::Assembler, t::Compiler, t::NewProject, t::General, t::Libraries, t::LinkerMemory,
          t::Optimisation, t::LinkerOutput, t::ProjectEditor, t::RunTimeModel, t::Setup, t::LinkerSymbols,
          t::Tools, t::CmdBuilder, t::Editor, t::IntVectors, t::BuildPanel, t::MemoryMap}) {
        const auto page = chm->topicForContext(static_cast<std::uint32_t>(topic));
        ASSERT_TRUE(page) << topic;
        EXPECT_TRUE(chm->read(*page)) << *page;
        EXPECT_TRUE(popups.count(static_cast<std::uint32_t>(topic))) << topic;
    }
    EXPECT_EQ(chm->topicForContext(47), "/tools.htm");
    EXPECT_FALSE(chm->topicForContext(48));
    EXPECT_EQ(chm->contentsFile, "toc.hhc");
    EXPECT_EQ(chm->indexFile, "index.hhk");
    // Every page the contents and the index name is in the file.
    for (const std::string& sitemap : {chm->contentsFile, chm->indexFile})
        for (const SitemapEntry& entry : ParseSitemap(chm->read(sitemap).value_or(""))) {
            if (!entry.local.empty()) {
                EXPECT_TRUE(chm->exists(entry.local)) << sitemap << ": " << entry.local;
            }
        }
}

// The index is read by typing the start of a word: it is in order, and the words a user tries
// first lead to the editor's keys, the interrupt vectors and the Build panel.
TEST(HelpFile, TheIndexIsSortedAndItsFirstWordsFindTheirTopics) {
    auto chm = halyardHelp();
    ASSERT_TRUE(chm);
    std::vector<SitemapEntry> index = ParseSitemap(chm->read(chm->indexFile).value_or(""));
    auto folded = [](std::string t) {
        for (char& c : t)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    for (size_t i = 1; i < index.size(); ++i)
        EXPECT_LE(folded(index[i - 1].name), folded(index[i].name)) << index[i].name;
    auto firstFor = [&](const std::string& typed) -> std::string {
        for (const auto& entry : index)
            if (folded(entry.name).rfind(typed, 0) == 0) return entry.local;
        return "";
    };
    EXPECT_EQ(firstFor("edit"), "editor.htm");
    EXPECT_EQ(firstFor("keys"), "editor.htm");
    EXPECT_EQ(firstFor("int"), "int_vectors.htm");
    EXPECT_EQ(firstFor("build p"), "build_panel.htm");
    // The contents reach them too.
    std::set<std::string> contents;
    for (const auto& entry : ParseSitemap(chm->read(chm->contentsFile).value_or("")))
        contents.insert(entry.local);
    for (const char* page : {"editor.htm", "int_vectors.htm", "build_panel.htm"})
        EXPECT_TRUE(contents.count(page)) << page;
}

// A topic that the contents or the index do not name can only be found by chance, and a link to a
// page that is not in the file shows an empty window.
TEST(HelpFile, EveryTopicIsReachedAndEveryLinkLeadsToAPage) {
    auto chm = halyardHelp();
    ASSERT_TRUE(chm);
    std::set<std::string> contents, index;
    for (const auto& entry : ParseSitemap(chm->read(chm->contentsFile).value_or("")))
        contents.insert(ChmFile::normalise(entry.local));
    for (const auto& entry : ParseSitemap(chm->read(chm->indexFile).value_or("")))
        index.insert(ChmFile::normalise(entry.local));
    const std::regex link(R"re((?:href|src)="([^"#:]+)(#[^"]*)?")re", std::regex::icase);
    int pages = 0;
    for (const std::string& file : chm->files()) {
        if (file.size() < 5 || file.compare(file.size() - 4, 4, ".htm") != 0) continue;
        ++pages;
        EXPECT_TRUE(contents.count(file)) << file << " is not in the contents";
        EXPECT_TRUE(index.count(file)) << file << " has no index entry";
        const std::string html = chm->read(file).value_or("");
        for (auto it = std::sregex_iterator(html.begin(), html.end(), link); it != std::sregex_iterator();
             ++it)
            EXPECT_TRUE(chm->exists(ChmFile::normalise((*it)[1].str())))
                << file << " links to " << (*it)[1].str() << ", which is not in the file";
    }
    EXPECT_GE(pages, 22);
}

TEST(HelpFile, AFileThatIsNoCompiledHelpIsRefused) {
    const fs::path dir = fs::temp_directory_path() / ("halyard-chm-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "fake.chm") << "ITSF but not really";
    EXPECT_FALSE(ChmFile::open(dir / "fake.chm"));
    EXPECT_FALSE(ChmFile::open(dir / "missing.chm"));
    fs::remove_all(dir);
}

TEST(Sitemap, EntriesKeepTheirNestingAndTolerateSloppyHtml) {
    const std::string html =
        R"(<HTML><!-- <OBJECT type="text/sitemap"><param name="Name" value="hidden"></OBJECT> -->
<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Top &amp; tail"><param name="Local" value="a.htm"></OBJECT>
  <ul><li><object type='text/sitemap'><PARAM NAME=name VALUE=Inner><param name="Local" value="sub/b.htm#x"></object>
  </ul>
<LI><OBJECT type="text/site properties"><param name="Name" value="not an entry"></OBJECT>
<LI><OBJECT type="text/sitemap"><param name="Keyword" value="heading only"></OBJECT>
<LI><OBJECT type="text/sitemap"><param name="Local" value="nameless.htm"></OBJECT>
</UL>)";
    EXPECT_EQ(ParseSitemap(html),
              (std::vector<SitemapEntry>{
                  {"Top & tail", "a.htm", 0}, {"Inner", "sub/b.htm#x", 1}, {"heading only", "", 0}}));
}

TEST(Sitemap, DeepNestingStaysAtTheDeepestLevelShown) {
    std::string html;
    for (int i = 0; i < 20000; ++i)
        html += "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"n\"></object>";
    const auto entries = ParseSitemap(html);
    ASSERT_EQ(entries.size(), 20000u);
    EXPECT_EQ(entries[5].level, 5);
    EXPECT_EQ(entries.back().level, SitemapMaxLevel);
}

TEST(PopupTopics, NumberedTopicsTakeTheirLinesUpToTheNext) {
    const std::string text = ".topic 1\r\nFirst line\r\nsecond line\r\n\r\n.topic IDH_NAMED\r\nskipped\r\n"
                             ".topic 0x10\nhex\n\n\n.topic 2\n";
    EXPECT_EQ(ParsePopupTopics(text),
              (std::map<std::uint32_t, std::string>{{1, "First line\nsecond line"}, {16, "hex"}, {2, ""}}));
}

TEST(ChmPaths, NormaliseFoldsDotsAndStaysInsideTheFile) {
    const std::pair<const char*, const char*> cases[] = {{"a.htm", "/a.htm"},
                                                         {"/sub/../a.htm", "/a.htm"},
                                                         {"../../a.htm", "/a.htm"},
                                                         {"./x//y.png", "/x/y.png"},
                                                         {"", "/"}};
    for (auto [in, out] : cases)
        EXPECT_EQ(ChmFile::normalise(in), out) << in;
}

TEST(Sitemap, EveryCutOfARealFileParsesToNoMoreThanTheWhole) {
    for (const char* name : {"toc.hhc", "index.hhk"}) {
        const std::string text = slurp(helpSources / name);
        const std::size_t whole = ParseSitemap(text).size();
        ASSERT_GT(whole, 10u) << name;
        for (std::size_t n = 0; n < text.size(); n += 7)
            EXPECT_LE(ParseSitemap(text.substr(0, n)).size(), whole);
    }
}
