// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store: everything that outlives a project, kept as text values under
// Software\Orlin\Halyard.
#include <initializer_list>
#include <variant>

#include "base/error.h"
#include "shell/ide_context.h"

namespace halyard {

namespace {

struct Setting {
    const char* name;
    // A state string, an edit's text, or a check box; with its default when absent.
    std::variant<std::string*, Edit*, CheckBox*> target;
    const char* textDefault = "";
    bool boolDefault = false;
};

// The values in the order they are read and written; the tool values and counts follow their own rules.
std::vector<Setting> table(IdeContext& e) {
    auto& l = e.lib;
    auto& o = e.opts;
    return {
        {"Drive", &e.WorkDrive, "C:\\"},
        {"Comp Source", &e.CompSourceDir, "C:\\texassource"},
        {"Program Dir", &e.CompilerDir, "C:\\CL370"},
        {"Install Dir", &e.InstallDir, "C:\\Halyard"},
        {"Project", &e.ProjectPath, "C:\\Halyard\\default.prj"},
        {"Headers", &e.HeadersDir, "C:\\Texassource"},
        {"Programming Tool", &e.ProgToolPath, ""},
        {"Lib Source", &l.Source, "rts.src"},
        {"Lib Dest", &l.Lib, ""},
        {"No Heads", &l.NoHeaders},
        {"Usesource", &l.UseSource},
        {"Extract", &l.ExtractSource},
        {"Overwrite", &l.Overwrite, "", true},
        {"SuppressHeads", &l.SuppressHeaders},
        {"Debug", &l.Debug},
        {"C8", &l.C8},
        {"KR", &l.KandR},
        {"SuppressWarns", &l.SuppressWarns},
        {"TriGraph", &l.Trigraph},
        {"Small", &l.SmallMem},
        {"ObjLoc", &o.SpecObjLoc, "", true},
        {"Last", &o.Lastproject},
        {"Include", &e.linkCmd.Include},
        {"Clear", &e.linkCmd.ClearCLine},
        {"Redirect", &o.SendToFile},
        {"Onend", &o.ShowOnEnd},
        {"Keep Editors", &e.KeepEditorsOpen},
        {"Line Numbers", &e.editorAids.LineNumbers, "", true},
        {"Current Line", &e.editorAids.CurrentLine, "", true},
        {"Match Brackets", &e.editorAids.MatchBrackets, "", true},
        {"Keep Indent", &e.editorAids.KeepIndent, "", true},
        {"Message Marks", &e.editorAids.MessageMarks, "", true},
        {"Complete Names", &e.editorAids.CompleteWhileTyping},
    };
}

constexpr size_t FirstAfterCounts = 6; // "PTCount", "UTCount" and "Error log" come before "Programming Tool"

// Every value is read on its own: one that cannot be read keeps its default and is noted, so the
// values after it still arrive and the next save does not write defaults over them.
class Reader {
public:
    explicit Reader(SettingsStore& s) : store(s) {}
    std::string text(const std::string& name, const std::string& def) {
        const auto v = store.read(name);
        if (!v.exists) return def;
        if (!v.isString) {
            failures.push_back("Failed to get data for '" + name + "'");
            return def;
        }
        return v.text;
    }
    int integer(const std::string& name, int def) {
        const std::string t = text(name, "");
        // Stored numbers are decimal text: a hexadecimal form ("$10", "0x10") is no number here.
        if (t.empty() || t.find_first_of("$xX") != std::string::npos) return def;
        try {
            return StrToInt(t);
        } catch (const Error&) {
            return def;
        }
    }
    bool boolean(const std::string& name, bool def) { return integer(name, def ? 1 : 0) != 0; }
    // Whether tool number n has any of its values stored.
    bool anyStored(std::initializer_list<const char*> prefixes, int n) {
        for (const char* prefix : prefixes)
            if (store.read(prefix + std::to_string(n)).exists) return true;
        return false;
    }

    std::vector<std::string> failures;

private:
    SettingsStore& store;
};

void put(SettingsStore& store, const std::string& name, const std::string& text) {
    if (!store.write(name, text)) throw Error("Failed to set data for '" + name + "'");
}

void load(Reader& r, const Setting& s) {
    if (auto p = std::get_if<std::string*>(&s.target))
        **p = r.text(s.name, s.textDefault);
    else if (auto ed = std::get_if<Edit*>(&s.target))
        (*ed)->setText(r.text(s.name, s.textDefault));
    else
        std::get<CheckBox*>(s.target)->setChecked(r.boolean(s.name, s.boolDefault));
}

void save(SettingsStore& store, const Setting& s) {
    if (auto p = std::get_if<std::string*>(&s.target))
        put(store, s.name, **p);
    else if (auto ed = std::get_if<Edit*>(&s.target))
        put(store, s.name, (*ed)->text());
    else
        put(store, s.name, std::get<CheckBox*>(s.target)->checked() ? "1" : "0");
}

} // namespace

void IdeContext::LoadSettings() {
    Reader r(store);
    const auto values = table(*this);
    for (size_t i = 0; i < FirstAfterCounts; ++i)
        load(r, values[i]);
    opts.EL.setChecked(r.boolean("Error log", false));
    const int ptCount = r.integer("PTCount", 0);
    const int utCount = r.integer("UTCount", 0);
    for (size_t i = FirstAfterCounts; i < values.size(); ++i)
        load(r, values[i]);

    // Tool pairs that are broken (no path) or that repeat a registered path are dropped here, so
    // index k of the name list and of the path list is always one tool. The tools are saved under
    // consecutive numbers, so the first number with none of its values ends the list: a damaged
    // count ("PTCount=2000000000") must not read, or add, billions of absent tools.
    std::vector<std::pair<std::string, std::string>> progTools;
    for (int n = 0; n < ptCount; ++n) {
        if (!r.anyStored({"PTools", "PTNames"}, n)) break;
        const std::string name = r.text("PTools" + std::to_string(n), "");
        const std::string path = r.text("PTNames" + std::to_string(n), "");
        progTools.emplace_back(name, path);
    }
    tools.addProgTools(progTools);
    for (int n = 0; n < utCount; ++n) {
        if (!r.anyStored({"UTools", "UTNames", "UTParams"}, n)) break;
        const std::string name = r.text("UTools" + std::to_string(n), "");
        const std::string path = r.text("UTNames" + std::to_string(n), "");
        const std::string params = r.text("UTParams" + std::to_string(n), "");
        tools.addUserTool(name, path, params);
    }

    const int k = tools.findProgTool(ProgToolPath);
    if (k >= 0) {
        tools.ProgToolsList.setItemIndex(k);
        menu.Prgm.setCaption(tools.ProgToolsList.text());
    } else {
        menu.Prgm.setCaption("(None)");
        menu.Prgm.setEnabled(false);
    }

    if (!r.failures.empty()) {
        std::string message;
        for (const auto& f : r.failures)
            message += (message.empty() ? "" : "\r") + f;
        throw Error(message);
    }
}

void IdeContext::SaveSettings() {
    const auto values = table(*this);
    for (size_t i = 0; i < FirstAfterCounts; ++i)
        save(store, values[i]);
    const auto& names = tools.ProgToolsList.items();
    const auto& users = tools.UserToolsList.items();
    put(store, "PTCount", std::to_string(names.size()));
    put(store, "UTCount", std::to_string(users.size()));
    for (size_t i = FirstAfterCounts; i < values.size(); ++i)
        save(store, values[i]);
    auto at = [](const std::vector<std::string>& list, size_t i) {
        return i < list.size() ? list[i] : std::string();
    };
    for (size_t n = 0; n < names.size(); ++n) {
        put(store, "PTools" + std::to_string(n), names[n]);
        put(store, "PTNames" + std::to_string(n), at(tools.ProgToolPaths, n));
    }
    for (size_t n = 0; n < users.size(); ++n) {
        put(store, "UTools" + std::to_string(n), users[n]);
        put(store, "UTNames" + std::to_string(n), at(tools.UserToolPaths, n));
        put(store, "UTParams" + std::to_string(n), at(tools.UserToolParams, n));
    }
}

void IdeContext::UpdateProgramMenu() {
    const bool selected = tools.ProgToolsList.itemIndex() >= 0;
    menu.Prgm.setEnabled(selected);
    toolBar.ProgramDevice.setEnabled(selected);
    // A path that names no registered tool is not kept as the selection.
    if (!selected) ProgToolPath.clear();
}

} // namespace halyard
