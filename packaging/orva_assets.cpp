// orva-assets: writes the installed files that are made from the program's
// own tables, so they cannot drift from it:
//
//   orva-assets app-defaults OUT   the fallback X resources as a resource file
//   orva-assets icon OUT           the logo as a square SVG icon
//
// Exit status: 0 done, 1 the file could not be written, 2 bad arguments.
#include <cstdio>
#include <cstring>
#include <string>

#include "desktop/logo.h"
#include "desktop/resources.h"
#include "platform/fileio.h"

namespace {

bool write_file(const char *path, const std::string &text) {
    FILE *f = fopen_regular(path, "w");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string app_defaults() {
    std::string text = "! Orva: the program's fallback X resources (class \"orva\").\n"
                       "! The program uses these same values when no resource file of its\n"
                       "! class is found; copy lines to ~/.Xresources or merge this file with\n"
                       "! \"xrdb -merge\" to change fonts and colours.\n";
    for (const char *line : orva_fallbacks) {
        text += line;
        text += '\n';
    }
    return text;
}

// One rectangle per run of equal pixels in a row of the logo, centred in a
// square canvas of the logo's background colour.
std::string icon() {
    const unsigned char *img = LogoImage();
    char buf[160];
    std::string svg;
    std::snprintf(buf, sizeof buf,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                  "viewBox=\"0 0 %d %d\" shape-rendering=\"crispEdges\">\n",
                  LOGO_W, LOGO_W, LOGO_W, LOGO_W);
    svg += buf;
    const int top = (LOGO_W - LOGO_H) / 2;
    std::snprintf(buf, sizeof buf,
                  "<rect width=\"%d\" height=\"%d\" rx=\"24\" fill=\"#555560\"/>\n", LOGO_W,
                  LOGO_W);
    svg += buf;
    auto rgb = [&](int x, int y) {
        // Pixels are 0, B, G, R, bottom row first.
        const unsigned char *p = img + 4 * ((LOGO_H - 1 - y) * LOGO_W + x);
        return (p[3] << 16) | (p[2] << 8) | p[1];
    };
    for (int y = 0; y < LOGO_H; y++) {
        for (int x = 0; x < LOGO_W;) {
            const int c = rgb(x, y);
            int end = x + 1;
            while (end < LOGO_W && rgb(end, y) == c)
                end++;
            if (c != 0x555560) {
                std::snprintf(
                    buf, sizeof buf,
                    "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\" fill=\"#%06x\"/>\n", x,
                    top + y, end - x, c);
                svg += buf;
            }
            x = end;
        }
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 ||
        (std::strcmp(argv[1], "app-defaults") != 0 && std::strcmp(argv[1], "icon") != 0)) {
        std::fputs("usage: orva-assets app-defaults|icon OUT\n", stderr);
        return 2;
    }
    const std::string text = std::strcmp(argv[1], "icon") == 0 ? icon() : app_defaults();
    if (!write_file(argv[2], text)) {
        std::fprintf(stderr, "orva-assets: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
