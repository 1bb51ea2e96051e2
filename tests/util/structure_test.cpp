// The include graph of src/, read from the sources, against the rules of the code's layering:
// the engine and the subsystems' logic never reach up into a window, a panel never reaches into
// another subsystem's panel, only the application's window binding puts them together.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Layers from the bottom: a folder's code includes only its own folder and lower layers.
// A subsystem's ui/ folder sits just above its logic.
const std::map<std::string, int> kRank = {
    {"util", 0},   {"audio", 1},   {"playlist", 2}, {"controls", 2}, {"display", 2},
    {"record", 2}, {"levels", 2},  {"playback", 3}, {"netradio", 4}, {"perform", 4},
    {"midi", 4},   {"desktop", 5}, {"app", 6},
};

struct Unit {
    std::string subsystem;  // first path component under src/
    bool ui = false;        // inside a ui/ folder
};

Unit unitOf(const std::string& relPath) {
    Unit u;
    const auto slash = relPath.find('/');
    u.subsystem = relPath.substr(0, slash);
    u.ui = relPath.find("/ui/") != std::string::npos;
    return u;
}

double rankOf(const Unit& u) {
    const auto it = kRank.find(u.subsystem);
    return (it == kRank.end() ? 99 : it->second) + (u.ui ? 0.5 : 0.0);
}

std::string nameOf(const Unit& u) {
    return u.subsystem + (u.ui ? "/ui" : "");
}

struct Edge {
    std::string file, included;
};

std::vector<Edge> projectIncludes() {
    const fs::path src = fs::path(VELORIXA_SOURCE_DIR) / "src";
    std::vector<Edge> edges;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        const std::string rel = fs::relative(entry.path(), src).generic_string();
        // The program's entry point puts everything together, the window included.
        if (rel == "app/main.cpp") continue;
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            // #include "folder/name.h" (std::regex trips the sanitizer build's warnings)
            const auto first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line.compare(first, 8, "#include") != 0) continue;
            const auto open = line.find('"', first);
            const auto close = open == std::string::npos ? open : line.find('"', open + 1);
            if (close == std::string::npos) continue;
            const std::string inc = line.substr(open + 1, close - open - 1);
            // Only the project's own headers, named from src/.
            if (inc.find('/') == std::string::npos || !fs::exists(src / inc)) continue;
            edges.push_back({rel, inc});
        }
    }
    return edges;
}

TEST(Structure, IncludesRunDownTheLayersOnly) {
    const auto edges = projectIncludes();
    ASSERT_GT(edges.size(), 100u) << "the sources were not found under " << VELORIXA_SOURCE_DIR;
    std::vector<std::string> upward, intoApp, panelToPanel;
    std::map<std::string, std::set<std::string>> graph;
    for (const auto& e : edges) {
        const Unit from = unitOf(e.file), to = unitOf(e.included);
        const std::string line = e.file + " -> " + e.included;
        if (nameOf(from) == nameOf(to)) continue;
        graph[nameOf(from)].insert(nameOf(to));
        if (to.subsystem == "app" && from.subsystem != "app") intoApp.push_back(line);
        // util/ui holds small shared widget helpers, not a panel.
        if (from.ui && to.ui && from.subsystem != to.subsystem && from.subsystem != "app" &&
            to.subsystem != "util")
            panelToPanel.push_back(line);
        if (from.subsystem != "app" && rankOf(to) >= rankOf(from) &&
            !(from.subsystem == to.subsystem && from.ui))
            upward.push_back(line);
    }
    auto list = [](const std::vector<std::string>& v) {
        std::string s;
        for (const auto& l : v)
            s += "\n  " + l;
        return s;
    };
    EXPECT_TRUE(intoApp.empty()) << "code outside src/app includes src/app:" << list(intoApp);
    EXPECT_TRUE(panelToPanel.empty())
        << "a panel includes another subsystem's panel:" << list(panelToPanel);
    EXPECT_TRUE(upward.empty()) << "includes that run up or sideways:" << list(upward);

    // No cycles between folders (depth-first search for a back edge).
    std::map<std::string, int> state;  // 0 new, 1 on the path, 2 done
    std::vector<std::string> path;
    std::string cycle;
    std::function<void(const std::string&)> visit = [&](const std::string& n) {
        state[n] = 1;
        path.push_back(n);
        for (const auto& next : graph[n]) {
            if (!cycle.empty()) break;
            if (state[next] == 1) {
                for (const auto& p : path)
                    cycle += p + " -> ";
                cycle += next;
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[n] = 2;
    };
    for (const auto& [n, _] : graph)
        if (state[n] == 0 && cycle.empty()) visit(n);
    EXPECT_TRUE(cycle.empty()) << "include cycle: " << cycle;
}

}  // namespace
