// lyrebox-share INI FOLDER: adds FOLDER to the plugin's shared folders in
// INI unless it is shared already (the run script calls it for the folder it
// is given). Exit status 0 when the folder is shared afterwards.
#include "tools/share/SharedFolderEdit.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: lyrebox-share INI FOLDER\n", stderr);
        return 2;
    }
    std::string message;
    const lyrebox::ShareResult result = lyrebox::shareFolder(argv[1], argv[2], message);
    std::fprintf(stderr, "lyrebox-share: %s\n", message.c_str());
    return result == lyrebox::ShareResult::Added || result == lyrebox::ShareResult::AlreadyShared ? 0 : 1;
}
