// vemo-settings: the settings dialog of vemo, a program of its own so that
// the saver never loads GTK. vemo /c runs start-up (profile, connection
// test, download) and then this program; it stores what the dialog chose.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/latin1.h"

#include "platform/gtk/settings_dialog_gtk.h"
#include "res/embedded_resources.h"

namespace {

constexpr const char kUsage[] =
    "usage: vemo-settings [--transient] [--team NAME] [--rotation CODES]\n"
    "                     [--club NAME]... [--] CODE\n"
    "Shows vemo's settings dialog over the championship CODE. After OK three\n"
    "lines go to standard output, the chosen code, club and rotation, and\n"
    "the exit status is 0; after Cancel it is 1, and 2 when no dialog could\n"
    "be shown. Nothing is stored here: vemo /c starts this program and keeps\n"
    "the choice. Texts are UTF-8.\n"
    "\n"
    "  --transient        make the dialog transient for the active window\n"
    "  --team NAME        the club the Club field starts with\n"
    "  --rotation CODES   the leagues checked in the Rotation list\n"
    "  --club NAME        a club of CODE's table to offer (repeatable)\n"
    "  --help       this text\n"
    "  --version    the version\n";

}  // namespace

int main(int argc, char** argv) {
    bool transient = false;
    const char* code = nullptr;
    SettingsChoice choice;
    std::vector<std::string> clubs;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        if (options && std::strcmp(argv[i], "--") == 0) {
            options = false;
        } else if (options && std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && std::strcmp(argv[i], "--version") == 0) {
            std::printf("vemo-settings %s\n", VEMO_VERSION);
            return 0;
        } else if (options && std::strcmp(argv[i], "--transient") == 0) {
            transient = true;
        } else if (options && (std::strcmp(argv[i], "--team") == 0 || std::strcmp(argv[i], "--rotation") == 0 ||
                               std::strcmp(argv[i], "--club") == 0)) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vemo-settings: %s needs a value\n%s", argv[i], kUsage);
                return 2;
            }
            const std::string value = argv[i + 1];
            if (std::strcmp(argv[i], "--team") == 0) choice.team = TransliterateToLatin1(value);
            else if (std::strcmp(argv[i], "--rotation") == 0) choice.rotation = value;
            else clubs.push_back(TransliterateToLatin1(value));
            ++i;
        } else if (options && argv[i][0] == '-') {
            std::fprintf(stderr, "vemo-settings: unknown option '%s'\n%s", argv[i], kUsage);
            return 2;
        } else if (code == nullptr) {
            code = argv[i];
        } else {
            std::fprintf(stderr, "vemo-settings: one championship code only\n%s", kUsage);
            return 2;
        }
    }
    if (code == nullptr) {
        std::fprintf(stderr, "vemo-settings: no championship code given\n%s", kUsage);
        return 2;
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "vemo-settings: cannot open the display\n");
        return 2;
    }
    InstallEmbeddedResources();
    choice.championship = code;
    if (!RunGtkSettingsDialog(transient, choice, clubs)) return 1;
    std::printf("%s\n%s\n%s\n", choice.championship.c_str(), Latin1ToUtf8(choice.team).c_str(),
                choice.rotation.c_str());
    return std::fflush(stdout) == 0 ? 0 : 2;
}
