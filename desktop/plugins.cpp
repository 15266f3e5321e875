// User effect plug-ins: shared objects in "ORVA_USER_DIR" that export
// "orvaMenuName" (fills the menu label) and "orvaUserEffect" (the effect).
// They are loaded once, when the first menu is built, and stay loaded for the
// life of the program.
#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "desktop/menu.h"

typedef void (*MenuNameFunc)(char *label, int size);

std::vector<UserPlugin> LoadUserPlugins(const char *dir) {
    std::vector<UserPlugin> out;
    if (!dir || !*dir) return out;
    DIR *d = opendir(dir);
    if (!d) return out;
    std::vector<std::string> names;
    while (struct dirent *e = readdir(d)) {
        size_t n = strlen(e->d_name);
        if (n > 3 && strcmp(e->d_name + n - 3, ".so") == 0) names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        std::string path = std::string(dir) + "/" + name;
        void *h = dlopen(path.c_str(), RTLD_LAZY);
        if (!h) {
            printf("Error: %s\n", dlerror());
            fflush(stdout);
            continue;
        }
        auto menu_name = reinterpret_cast<MenuNameFunc>(dlsym(h, "orvaMenuName"));
        auto effect = reinterpret_cast<UserEffectFunc>(dlsym(h, "orvaUserEffect"));
        if (!menu_name || !effect) {
            dlclose(h);
            continue;
        }
        char label[256] = "";
        menu_name(label, sizeof label);
        label[sizeof label - 1] = 0;
        // A plug-in that gives no label cannot be shown in the menu: skip it
        // and keep loading the others.
        if (!label[0]) {
            dlclose(h);
            continue;
        }
        out.push_back({label, effect});
    }
    return out;
}

static bool plugins_loaded = false;

const std::vector<UserPlugin> &UserPlugins() {
    static const std::vector<UserPlugin> plugins = LoadUserPlugins(getenv("ORVA_USER_DIR"));
    plugins_loaded = true;
    return plugins;
}

bool UserPluginsLoaded() {
    return plugins_loaded;
}
