// load_suite: the load and fault suite. Each mode prints its figures and
// exits 0 when nothing failed.
//   load_suite pages SECONDS [PAGES]   browser pages polling while others edit the play list
//   load_suite downloads SECONDS       downloads cut off mid-file while others complete
//   load_suite quit [ROUNDS]           quit while 100 connections are busy
//   load_suite ini-kill SECONDS        kill -9 during settings saves; the file stays old or new
#include "bench/load/LoadServer.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    using namespace lyrebox::load;
    const std::string mode = argc > 1 ? argv[1] : "";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 5;
    if (mode == "pages") return runPages(seconds, argc > 3 ? std::atoi(argv[3]) : 200);
    if (mode == "downloads") return runDownloads(seconds);
    if (mode == "quit") return runQuit(argc > 2 ? std::atoi(argv[2]) : 3);
    if (mode == "ini-kill") return runIniKill(seconds);
    std::cerr << "usage: load_suite pages|downloads|quit|ini-kill SECONDS\n";
    return 2;
}
