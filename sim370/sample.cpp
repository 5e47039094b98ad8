// SPDX-License-Identifier: GPL-3.0-or-later
#include "sample.h"

#include "ar_archive.h"
#include "assembler.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "librarian.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;

namespace {

struct TextFile {
    const char* name;
    const char* text;
};

const TextFile kRuntime[] = {
    {"stddef.h", R"(/* stddef.h - common definitions (TMS370 run-time library, stand-in) */
#ifndef _STDDEF_H
#define _STDDEF_H

typedef unsigned int size_t;
typedef int ptrdiff_t;

#define NULL ((void *)0)
#define offsetof(type, member) ((size_t)&(((type *)0)->member))

#endif
)"},
    {"string.h", R"(/* string.h - string and memory functions (TMS370 run-time library, stand-in) */
#ifndef _STRING_H
#define _STRING_H

#include <stddef.h>

size_t strlen(const char *s);
char *strcpy(char *to, const char *from);
int strcmp(const char *a, const char *b);
void *memcpy(void *to, const void *from, size_t n);
void *memset(void *to, int c, size_t n);

#endif
)"},
    {"stdlib.h", R"(/* stdlib.h - general utilities (TMS370 run-time library, stand-in) */
#ifndef _STDLIB_H
#define _STDLIB_H

#include <stddef.h>

int abs(int i);
int atoi(const char *s);
void exit(int status);

#endif
)"},
    {"boot.c", R"(/* boot.c - C start-up: the reset vector points here */
#include <stdlib.h>

extern void main(void);

void c_int00(void)
{
    main();
    exit(0);
}
)"},
    {"string.c", R"(/* string.c - string and memory functions */
#include <string.h>

size_t strlen(const char *s)
{
    size_t n = 0;
    while (s[n] != '\0')
        ++n;
    return n;
}

char *strcpy(char *to, const char *from)
{
    char *d = to;
    while ((*d++ = *from++) != '\0')
        ;
    return to;
}

int strcmp(const char *a, const char *b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return (unsigned char)*a - (unsigned char)*b;
}

void *memcpy(void *to, const void *from, size_t n)
{
    unsigned char *d = (unsigned char *)to;
    const unsigned char *s = (const unsigned char *)from;
    while (n-- > 0)
        *d++ = *s++;
    return to;
}

void *memset(void *to, int c, size_t n)
{
    unsigned char *d = (unsigned char *)to;
    while (n-- > 0)
        *d++ = (unsigned char)c;
    return to;
}
)"},
    {"stdlib.c", R"(/* stdlib.c - general utilities */
#include <stdlib.h>

int abs(int i)
{
    return i < 0 ? -i : i;
}

int atoi(const char *s)
{
    int sign = 1, n = 0;
    if (*s == '-') {
        sign = -1;
        ++s;
    }
    while (*s >= '0' && *s <= '9')
        n = n * 10 + (*s++ - '0');
    return sign * n;
}

void exit(int status)
{
    (void)status;
    for (;;)
        ;
}
)"},
};

const char* kDefaultLinkCmd = R"(/* Default link command file of the TMS370 tool chain (Halyard stand-in). */
/* Halyard copies it into the compiler folder when a project has none.    */
-l rts.lib

MEMORY
{
    REGS (RW)  : origin = 0000h, length = 0100h
    RAM  (RW)  : origin = 0100h, length = 0700h
    ROM  (RX)  : origin = 2000h, length = 5FECh
    VECS (R)   : origin = 7FECh, length = 0014h
}

SECTIONS
{
    .text    > ROM
    .const   > ROM
    .cinit   > ROM
    .bss     > RAM
    .data    > RAM
    .stack   > RAM
    .sysmem  > RAM
    .hstack  > REGS
    .intvecs > VECS
}
)";

const TextFile kProject[] = {
    {"demo.h", R"(/* demo.h - shared declarations of the Halyard demo project */
#ifndef DEMO_H
#define DEMO_H

/* Digital port D drives eight LEDs. */
#define DPORT_DIR  (*(volatile unsigned char *)0x102E)
#define DPORT_DATA (*(volatile unsigned char *)0x102F)

#define TICKS_PER_SECOND 100

extern volatile unsigned int ticks;

void leds_init(void);
void leds_show(unsigned char pattern);
void timer_init(void);
unsigned int timer_elapsed(unsigned int since);

#endif
)"},
    {"main.c", R"(/* main.c - runs a light along the LEDs, four steps a second */
#include <string.h>
#include "demo.h"

static const char banner[] = "Halyard demo";
static unsigned char pattern = 0x01;

void main(void)
{
    unsigned int last;

    leds_init();
    timer_init();
    leds_show((unsigned char)strlen(banner));
    last = ticks;
    for (;;) {
        if (timer_elapsed(last) >= TICKS_PER_SECOND / 4) {
            last = ticks;
            pattern = (unsigned char)((pattern << 1) | (pattern >> 7));
            leds_show(pattern);
        }
    }
}
)"},
    {"timer.c", R"(/* timer.c - a 100 Hz tick from timer 1 */
#include "demo.h"

#define T1CTL1 (*(volatile unsigned char *)0x1049)
#define T1CTL2 (*(volatile unsigned char *)0x104A)

volatile unsigned int ticks = 0;

void timer_init(void)
{
    ticks = 0;
    T1CTL1 = 0x05;
    T1CTL2 = 0x01;
}

interrupt void timer_isr(void)
{
    ++ticks;
}

unsigned int timer_elapsed(unsigned int since)
{
    return ticks - since;
}
)"},
    {"leds.c", R"(/* leds.c - the LED port */
#include "demo.h"

void leds_init(void)
{
    DPORT_DATA = 0;
    DPORT_DIR = 0xFF;
}

void leds_show(unsigned char pattern)
{
    DPORT_DATA = pattern;
}
)"},
};

const char* kIntvecs = R"(*********************************************************************
* intvecs.asm - interrupt vector table of the Halyard demo project
* lnk.cmd places its section at 7FECh, the top of the address space.
*********************************************************************
        .ref    _c_int00
        .ref    _timer_isr

        .sect   ".intvecs"
        .word   _c_int00        ; 7FECh  unused
        .word   _c_int00        ; 7FEEh  unused
        .word   _c_int00        ; 7FF0h  unused
        .word   _c_int00        ; 7FF2h  unused
        .word   _timer_isr      ; 7FF4h  timer 1
        .word   _c_int00        ; 7FF6h  unused
        .word   _c_int00        ; 7FF8h  unused
        .word   _c_int00        ; 7FFAh  unused
        .word   _c_int00        ; 7FFCh  unused
        .word   _c_int00        ; 7FFEh  reset
        .end
)";

// Written the way Halyard's command-file builder writes one, so that the sample also shows that
// the linker reads the builder's output.
std::vector<std::string> demoLinkCmd(const SampleFolders& f) {
    const std::string src = AddTrailingBackslash(f.sourceDir);
    return {"/*********** Halyard Linker Commnad file ******/",
            "-l rts.lib",
            "",
            "-o " + src + "demo.out ",
            "-m " + src + "demo.map ",
            "",
            "",
            "",
            "MEMORY",
            "{",
            "    REGS    :  (RW)  origin = 0000h length = 0100h ",
            "    RAM     :  (RW)  origin = 0100h length = 0700h ",
            "    ROM     :  (RX)  origin = 2000h length = 5FECh ",
            "    VECS    :  (R)  origin = 7FECh length = 0014h ",
            "",
            "}",
            "",
            "",
            "",
            "SECTIONS",
            "{",
            "    .text:   > ROM",
            "    .const:   > ROM",
            "    .cinit:   > ROM",
            "    .bss:   > RAM",
            "    .data:   > RAM",
            "",
            ".intvecs : load = 07FECh  /*Interrupt Vectors*/",
            "  {",
            "   " + src + "intvecs.obj(.intvecs)",
            "   endvec =.; ",
            "  }",
            "",
            "}"};
}

std::vector<std::string> lines(const char* text) {
    return SplitTextLines(text);
}

} // namespace

std::vector<std::string> SampleProjectLines(const SampleFolders& f) {
    // Options 0 to 61 hold the values that Halyard's "Set Defaults" gives.
    std::vector<std::string> l = {"0", "1", "0", "0", "0", "0", "1", "0", "1",
                                  "0", "0", "0", "0", "0", "0", "0", "0", "1"};
    l.resize(35, "0"); // 18..34: check boxes, all off
    for (const char* v :
         {"0",     "0", "0", "0",      "0", "0", "",  "0", "",  "0", "0200h", "0", "0020h", "0",
          "0200h", "0", "0", "0000h ", "0", "0", "0", "0", "0", "2", "0",     "2", "0"})
        l.push_back(v); // 35..61
    l.push_back("-g -ms ");
    l.push_back("-z  -a -c ");
    l.push_back("C:\\TexasSource\\lnk.cmd ");
    l.push_back(AddTrailingBackslash(f.sourceDir) + "demo.out ");
    for (const char* name : {"main.c", "timer.c", "leds.c", "demo.h"})
        l.push_back(AddTrailingBackslash(f.projectDir) + name);
    return l;
}

int InstallSample(const ToolEnv& env, const SampleRequest& r, std::ostream& out) {
    const SampleFolders& f = r.folders;
    const DosDevices& dd = env.dd;
    const std::string cl = AddTrailingBackslash(f.compilerDir);
    if (r.ifFresh && dd.fileExists(cl + "cl370")) {
        out << "The stand-in tool chain is already set up in " << f.compilerDir << "; nothing done."
            << std::endl;
        return 0;
    }
    for (const auto& d : {f.compilerDir, f.sourceDir, f.headersDir, f.projectDir})
        dd.createDirs(d);

    for (const char* tool : {"cl370", "lnk370", "asm370", "mk370"}) {
        std::error_code ec;
        fs::copy_file(r.binDir / tool, dd.toHost(cl + tool), fs::copy_options::overwrite_existing, ec);
        if (ec) {
            out << "halyard-sample: cannot copy " << (r.binDir / tool).string() << ": " << ec.message()
                << std::endl;
            return 1;
        }
    }
    out << "Installed cl370, lnk370, asm370 and mk370 into " << f.compilerDir << std::endl;
    // No copy of asm370 goes into the compiler working folder: a tool-chain program anywhere but the
    // tool-chain folder is refused by the batch runner.

    std::vector<ArMember> rts;
    for (const auto& t : kRuntime) {
        const std::string text = JoinTextLines(lines(t.text));
        rts.push_back({t.name, text});
        if (std::string(t.name).ends_with(".h")) dd.writeBytes(cl + t.name, text);
    }
    dd.writeBytes(cl + "rts.src", WriteAr(rts));
    dd.writeLines(cl + "lnk.cmd", lines(kDefaultLinkCmd));
    out << "Wrote the run-time headers, rts.src and the default lnk.cmd into " << f.compilerDir << std::endl;

    ToolEnv libEnv = env;
    libEnv.cDir = {f.headersDir};
    const std::string lib = AddTrailingBackslash(f.headersDir) + "rts.lib";
    if (RunMk370({"--h", "--k", "--q", "-q", "rts.src", "-l", lib}, libEnv, dd.toHost(f.compilerDir), out) !=
        0) {
        out << "halyard-sample: building " << lib << " failed" << std::endl;
        return 1;
    }
    out << "Built " << lib << " and installed the run-time headers into " << f.headersDir << std::endl;

    auto write = [&](const std::string& path, const std::vector<std::string>& text) {
        if (dd.fileExists(path) && !r.force) {
            out << "Kept " << path << std::endl;
            return;
        }
        dd.writeLines(path, text);
        out << "Wrote " << path << std::endl;
    };
    const std::string proj = AddTrailingBackslash(f.projectDir);
    const std::string src = AddTrailingBackslash(f.sourceDir);
    for (const auto& t : kProject)
        write(proj + t.name, lines(t.text));
    write(proj + "demo.prj", SampleProjectLines(f));
    write(src + "intvecs.asm", lines(kIntvecs));
    write(src + "lnk.cmd", demoLinkCmd(f));

    // The link command file names intvecs.obj, and Halyard checks that it exists before a build.
    Diagnostics diags(&out);
    if (!Assemble(dd.toHost(src + "intvecs.asm"), "intvecs.asm", dd.toHost(f.sourceDir), diags)) {
        out << "halyard-sample: assembling intvecs.asm failed" << std::endl;
        return 1;
    }
    out << "Assembled " << src << "intvecs.obj" << std::endl;
    out << "Sample ready: open " << proj << "demo.prj in Halyard (Project > Open Project, or the tool bar's\n"
        << "\"Open Project\") and build it with Project > Build All (F9, or the tool bar's \"Compile\").\n"
        << "If Halyard has just created its tool-chain folder at its first start, the Project menu stays\n"
        << "disabled for that run: use the tool bar's \"Open Project\" and \"Compile\" buttons; the menu\n"
        << "returns at the next start." << std::endl;
    return 0;
}

} // namespace halyard::sim370
